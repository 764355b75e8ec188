#pragma once

#include <QFrame>
#include <map>

class QLabel;

// The contact editor's business card (the frame Shape1): a preview drawn
// over a fixed background picture Image1, with the company on the top line
// (BtCompany), the name in large blue script (btclientid) and labelled
// lines for position, mobile, phone, fax, post code, address and e-mail.
// A click on a value or on its caption puts the focus into the box bound
// to it.
class TBusinessCard : public QFrame {
    Q_OBJECT
public:
    explicit TBusinessCard(QWidget *parent = nullptr);

    // A click on value, or on its caption, focuses box.
    void Bind(QLabel *value, QWidget *box);
    // The caption beside a value ("姓 名:" beside btclientid); null for BtCompany.
    QLabel *CaptionOf(const QLabel *value) const;

    QLabel *Image1;
    QLabel *BtCompany;
    QLabel *btclientid;
    QLabel *btheadship;
    QLabel *btMobile;
    QLabel *btphone;
    QLabel *btFax;
    QLabel *btpostcode;
    QLabel *btaddr;
    QLabel *btemail;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::map<const QLabel *, QLabel *> captions_;  // value -> caption
    std::map<const QObject *, QWidget *> targets_; // value or caption -> box
};
