#pragma once

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QWidget>
#include <initializer_list>
#include <map>
#include <vector>

class QToolButton;
class TAdoQuery;
class TDataSource;
class TField;
class TGridModel;

// Data-aware controls: views and editors bound to a query through a
// TDataSource. They show the query's current row and follow its moves;
// typing puts the query into Edit and assigns the field at once (an editor
// is read-only while the query is closed or has no row); the query's Post stores what was typed and
// its Cancel drops it. A failure of the query (a Post the database refuses,
// a text the column cannot take) is shown in the error box and leaves the
// query as it was. Main thread only.

// A grid of the query's rows, one column per entry (a column without a
// field stays empty). Selecting a row makes it the query's current row
// (which posts a pending change of another row, as data-aware grids do).
// The rows are read once when the query opens; afterwards only the current
// row is read again (after a Post or Cancel, or an appended row).
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    struct Column {
        QString field; // "" for a column without a field
        QString title;
        int width = 64;
        bool visible = true;
    };

    TDBGrid(TDataSource *source, std::vector<Column> columns, QWidget *parent = nullptr);

    // Read-only grids select whole rows; others edit their cells in place.
    void SetReadOnly(bool readOnly);
    // The text the grid shows in a cell.
    QString CellText(int row, int column) const;
    int RowCount() const;

signals:
    // A click on a cell.
    void CellClick();
    // Another column became the current one.
    void ColEnter();

private:
    void followQuery();

    TDataSource *source_;
    TGridModel *model_;
    bool following_ = false; // the view is being moved to the query's row
};

// A one-line editor of one field.
class TDBEdit : public QLineEdit {
    Q_OBJECT
public:
    TDBEdit(TDataSource *source, QString field, QWidget *parent = nullptr);
    const QString &DataField() const { return field_; }

private:
    void display();
    void write(const QString &text);

    TDataSource *source_;
    QString field_;
    bool showing_ = false;
};

// A memo editor of one text field.
class TDBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    TDBMemo(TDataSource *source, QString field, QWidget *parent = nullptr);

private:
    void display();

    TDataSource *source_;
    QString field_;
    bool showing_ = false;
};

// A picture column shown stretched to the box. A column that holds no
// picture that can be decoded shows an empty frame, and the operator is told
// once per content; the column keeps what it holds.
class TDBImage : public QLabel {
    Q_OBJECT
public:
    TDBImage(TDataSource *source, QString field, QWidget *parent = nullptr);

    const QString &DataField() const { return field_; }
    // Binds the box to another column of the same row and shows it.
    void SetDataField(const QString &field);
    // Loads a picture file (photo::decode) and assigns it, as a bitmap, to
    // the column of the row being edited (the query is put into Edit when it
    // is not); shown at once, stored by the query's Post. A file that is not
    // a picture that can be read, or is too large, shows an empty frame and
    // is reported; the column is left as it was. True when loaded.
    bool LoadFromFile(const QString &path);
    // The picture shown; null for an empty frame.
    const QImage &Picture() const { return picture_; }

private:
    void display();
    void setPicture(QImage image);

    TDataSource *source_;
    QString field_;
    QByteArray shown_; // the column content the picture was decoded from
    bool shownValid_ = false;
    QImage picture_;
};

// Buttons that move through the query's rows and post or cancel its change;
// each is enabled when it can act.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    enum class Button { First, Prior, Next, Last, Post, Cancel };

    TDBNavigator(TDataSource *source, std::initializer_list<Button> buttons, QWidget *parent = nullptr);

    // What a press of the button does; a failure goes to the error box and
    // answers false.
    bool Click(Button button);
    QToolButton *ButtonOf(Button button) const;

private:
    void enable();

    TDataSource *source_;
    std::map<Button, QToolButton *> buttons_;
};

namespace desk {
// The query a data source shows, when it is open; null otherwise.
TAdoQuery *activeQuery(const TDataSource *source);
// The field of that query's result; null when closed or missing.
TField *boundField(const TDataSource *source, const QString &field);
} // namespace desk
