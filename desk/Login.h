#pragma once

#include <QDialog>
#include <QString>

class EDatabaseError;

class QLabel;
class QLineEdit;
class QPushButton;

// The operator login: work code and password, pre-filled. Each "确认" (or
// Enter in the password box) is one attempt, which creates the data module;
// a failed attempt frees it again, clears the offending box and says why.
// On success the main window gets the work code and its dispatch timers
// start, and the dialog closes with Accepted; "取消" clears both boxes and
// closes with Rejected (the program then ends).
class TfrmLogin : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLogin(QWidget *parent = nullptr);

    // One attempt. A database that cannot be used (missing, damaged, not
    // ours, not writable, locked) is said in a box with databaseFailureText;
    // the dialog stays.
    void Button1Click();
    void Button2Click();

    QLabel *Image1;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QPushButton *Button1;
    QPushButton *Button2;

    static const QString WebAddress;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Attempt();
};

// What the login says when the database cannot be used: in Chinese, which
// file, what is wrong with it (looking at the file and its folder) and what
// to do, then the database's own text.
QString databaseFailureText(const EDatabaseError &error);

// The login dialog of the moment: the one shown at start-up, then the
// hidden one that owns the rights-test box.
extern TfrmLogin *frmLogin;
