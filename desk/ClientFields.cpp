#include "desk/ClientFields.h"

#include "desk/RecordDialogs.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace {

// How a column's value comes from its box.
enum class TValue {
    Text,
    TextOrBlank, // an empty box stores one blank
    Sex,         // the male button: "男" when on, else "女"
};

struct TClientField {
    const char *column;
    QWidget *(*box)(const TClientBoxes &);
    TValue value = TValue::Text;
};

template <auto Box> QWidget *box(const TClientBoxes &boxes) { return boxes.*Box; }

const QString Male = QStringLiteral("男");
const QString Female = QStringLiteral("女");

// The client columns the contact dialogs write, in the order assigned.
const TClientField ClientFields[] = {
    {"NAME", box<&TClientBoxes::Edit2>},
    {"CONTACT", box<&TClientBoxes::Edit3>, TValue::TextOrBlank},
    {"PERSONID", box<&TClientBoxes::Edit4>},
    {"PHONE", box<&TClientBoxes::EditPhone>},
    {"COMPANY", box<&TClientBoxes::EditCompany>},
    {"HEADSHIP", box<&TClientBoxes::EditHeadShip>},
    {"EMAIL", box<&TClientBoxes::EditEmail>},
    {"FAX", box<&TClientBoxes::EditFax>},
    {"ADDR", box<&TClientBoxes::EditAddr>},
    {"POSTCODE", box<&TClientBoxes::EditPostCode>},
    {"HOMEPAGE", box<&TClientBoxes::EditHomePage>},
    {"OICQ", box<&TClientBoxes::EditOICQ>},
    {"LanID", box<&TClientBoxes::EditLanID>},
    {"Sex", box<&TClientBoxes::RBMale>, TValue::Sex},
};

QString textOf(const QWidget *box)
{
    if (const auto *memo = qobject_cast<const QPlainTextEdit *>(box))
        return memo->toPlainText();
    return static_cast<const QLineEdit *>(box)->text();
}

} // namespace

TClientBoxes::TClientBoxes(QWidget *dialog, TClientDialog which)
{
    using desk::recordEdit;
    Edit2 = new QPlainTextEdit(dialog);
    Edit2->setObjectName("Edit2");
    Edit2->hide();
    Edit3 = recordEdit(dialog, "Edit3");
    Edit4 = recordEdit(dialog, "Edit4");
    Edit4->hide();
    EditPhone = recordEdit(dialog, "EditPhone");
    if (which == TClientDialog::Editor)
        EditLanID = recordEdit(dialog, "EditLanID");
    EditCompany = recordEdit(dialog, "EditCompany");
    EditHeadShip = recordEdit(dialog, "EditHeadShip");
    EditEmail = recordEdit(dialog, "EditEmail");
    EditFax = recordEdit(dialog, "EditFax");
    EditAddr = recordEdit(dialog, "EditAddr");
    EditPostCode = recordEdit(dialog, "EditPostCode");
    EditHomePage = recordEdit(dialog, "EditHomePage");
    if (which == TClientDialog::NewContact)
        EditOICQ = recordEdit(dialog, "EditOICQ");
    RBMale = new QRadioButton(Male, dialog);
    RBMale->setObjectName("RBMale");
    RBFemale = new QRadioButton(Female, dialog);
    RBFemale->setObjectName("RBFemale");
}

namespace desk {

void writeClientFields(TAdoQuery &row, const TClientBoxes &boxes)
{
    for (const TClientField &f : ClientFields) {
        const QWidget *box = f.box(boxes);
        if (!box)
            continue;
        QString value = f.value == TValue::Sex ? (static_cast<const QRadioButton *>(box)->isChecked() ? Male : Female)
                                               : textOf(box);
        if (f.value == TValue::TextOrBlank && value.isEmpty())
            value = QStringLiteral(" ");
        setField(row, f.column, value);
    }
}

void readClientFields(TAdoQuery &row, const TClientBoxes &boxes)
{
    for (const TClientField &f : ClientFields) {
        QWidget *box = f.box(boxes);
        if (!box)
            continue;
        const QString text = fieldText(row, f.column);
        if (f.value == TValue::Sex)
            (text == Female ? boxes.RBFemale : boxes.RBMale)->setChecked(true);
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(box))
            memo->setPlainText(text);
        else
            static_cast<QLineEdit *>(box)->setText(text);
    }
}

} // namespace desk
