#pragma once

class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QWidget;
class TAdoQuery;

// Which contact dialog the boxes are for: the new-contact dialog has
// EditOICQ and no EditLanID, the editor the other way round.
enum class TClientDialog { NewContact, Editor };

// The boxes of the two contact dialogs that hold columns of client, under
// their component names; a box the dialog does not have stays null.
struct TClientBoxes {
    // Makes the dialog's boxes on it, in the order declared, named after
    // their components; Edit2 and Edit4 hidden.
    TClientBoxes(QWidget *dialog, TClientDialog which);

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
