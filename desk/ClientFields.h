#pragma once

class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class TAdoQuery;

// The boxes of the two contact dialogs that hold columns of client, under
// their component names. A dialog leaves null the boxes it does not have:
// the new-contact dialog has no EditLanID, the editor no EditOICQ.
struct TClientBoxes {
    QPlainTextEdit *Edit2 = nullptr; // NAME, never shown
    QLineEdit *Edit3 = nullptr;      // CONTACT, the mobile
    QLineEdit *Edit4 = nullptr;      // PERSONID, never shown
    QLineEdit *EditPhone = nullptr;
    QLineEdit *EditLanID = nullptr;
    QLineEdit *EditCompany = nullptr;
    QLineEdit *EditHeadShip = nullptr;
    QLineEdit *EditEmail = nullptr;
    QLineEdit *EditFax = nullptr;
    QLineEdit *EditAddr = nullptr;
    QLineEdit *EditPostCode = nullptr;
    QLineEdit *EditHomePage = nullptr;
    QLineEdit *EditOICQ = nullptr;
    QRadioButton *RBMale = nullptr; // Sex "男" when on, else "女"
    QRadioButton *RBFemale = nullptr;
};

namespace desk {

// Assigns each column whose box the dialog has to the row being appended or
// edited, as typed; an empty mobile box is stored as one blank.
void writeClientFields(TAdoQuery &row, const TClientBoxes &boxes);
// Fills each box the dialog has from its column (NULL as ""); a Sex of "女"
// switches RBFemale on, anything else RBMale.
void readClientFields(TAdoQuery &row, const TClientBoxes &boxes);

} // namespace desk
