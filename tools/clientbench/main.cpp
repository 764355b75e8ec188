// clientbench [messages] [photo bytes]: times the contact editor
// (TfrmEditClient) on a work folder of its own (offscreen unless a display
// is asked for), from its creation until it is shown and painted, for a
// contact with that many messages (default 10000: half sent, half received,
// among 50000 of other contacts), 200 notes and five photos of about that
// size (default 2 MB bitmaps). Target: under 0.3 s. Prints the median and
// the worst of several runs, with the time to decode one photo, and exits 1
// when the median misses the target.
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "desk/DataControls.h"
#include "desk/EditClient.h"
#include "desk/ListView.h"
#include "desk/Photo.h"
#include "platform/ado/Ado.h"
#include "tools/bench/Times.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int Runs = 7;
const char *const Contact = "张三";
const char *const Mobile = "13800000001";

// A bitmap of about bytes bytes (24 bits a pixel), a gradient so that it
// is a picture and not a block of one colour.
QByteArray bitmapOf(long bytes)
{
    const int side = int(std::sqrt(double(bytes) / 3));
    QImage image(side, side, QImage::Format_RGB888);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, qRgb(x * 255 / side, y * 255 / side, (x ^ y) & 255));
    return photo::toBitmap(image);
}

void fill(long messages, long photoBytes)
{
    TAdoConnection db(TDataModule1::ConnectionString);
    db.Open();
    db.Execute("BEGIN");
    auto series = [](long n) {
        return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<" + std::to_string(n) + ") ";
    };
    db.Execute("INSERT INTO client (CLIENTID, CONTACT, Sex) VALUES (" + QuotedStr(Contact) + ", " + QuotedStr(Mobile) +
               ", '男')");
    db.Execute(series(messages / 2) + "INSERT INTO sms_tosend (TASKID, PHONE, MESSAGE, SENDFLAG) SELECT 'T' || x, " +
               QuotedStr(Mobile) + ", '短信内容第' || x || '条，发给联系人的较长的一段文字', '已发' FROM c");
    db.Execute(series(messages - messages / 2) + "INSERT INTO sms_toread (PHONE, MESSAGE, TIME, READFLAG) SELECT " +
               QuotedStr(Mobile) +
               ", '收到的短信第' || x || '条', datetime('2024-01-01', '+' || x || ' minutes'), '已读' FROM c");
    db.Execute(series(50000) + "INSERT INTO sms_tosend (TASKID, PHONE, MESSAGE, SENDFLAG) SELECT 'O' || x, "
                               "'139' || substr('00000000' || x, -8, 8), 'other', '已发' FROM c");
    db.Execute(series(50000) +
               "INSERT INTO sms_toread (PHONE, MESSAGE, TIME, READFLAG) SELECT "
               "'139' || substr('00000000' || x, -8, 8), 'other', '2024-01-01 00:00:00', '已读' FROM c");
    db.Execute(series(200) + "INSERT INTO clientsession (CLIENTID, datetime, session) SELECT " + QuotedStr(Contact) +
               ", datetime('2020-01-01', '+' || x || ' days'), '事务' || x FROM c");
    db.Execute("COMMIT");

    TAdoQuery q(db);
    q.SetSQL("select * from clientphotos");
    q.Open();
    q.Append();
    q.FieldByName("CLIENTID")->SetAsString(Contact);
    const QByteArray bitmap = bitmapOf(photoBytes);
    for (const char *column : {"photo1", "photo2", "photo3", "photo4", "photo5"})
        q.FieldByName(column)->SetAsBytes(bitmap);
    q.Post();
    std::printf("photos: five bitmaps of %lld bytes\n", static_cast<long long>(bitmap.size()));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long messages = argc > 1 ? std::stol(argv[1]) : 10000;
    const long photoBytes = argc > 2 ? std::stol(argv[2]) : 2 * 1024 * 1024;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    workfolder::create(dir.path().toStdString());
    fill(messages, photoBytes);
    DataModule1 = new TDataModule1;

    TListView contacts;
    contacts.AddItem(QString::fromUtf8(Contact));
    contacts.SetSelected(0, true);
    std::vector<double> opens;
    int sent = 0, received = 0;
    for (int i = 0; i < Runs; ++i) {
        QElapsedTimer t;
        t.start();
        auto *editor = new TfrmEditClient(nullptr, &contacts);
        editor->show();
        QCoreApplication::processEvents(); // layout and paint
        editor->grab();
        opens.push_back(t.nsecsElapsed() / 1e6);
        sent = editor->DBGrid1->RowCount();
        received = editor->DBGrid3->RowCount();
        delete editor;
    }
    std::vector<double> decodes;
    {
        TAdoQuery q(DataModule1->Database1);
        q.SetSQL("select * from clientphotos");
        q.Open();
        const QByteArray bitmap = q.FieldByName("photo1")->AsBytes();
        for (int i = 0; i < Runs; ++i) {
            QElapsedTimer t;
            t.start();
            photo::decode(bitmap);
            decodes.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    delete DataModule1;
    DataModule1 = nullptr;

    if (sent + received != messages) {
        std::fprintf(stderr, "listed %d sent and %d received of %ld messages\n", sent, received, messages);
        return 1;
    }
    const Times a = summary(opens), b = summary(decodes);
    std::printf("editor opened, %d sent and %d received listed: median %.1f ms, worst %.1f ms (target < 300 ms)\n",
                sent, received, a.median, a.worst);
    std::printf("one photo decoded:                          median %.1f ms, worst %.1f ms\n", b.median, b.worst);
    return a.median < 300 ? 0 : 1;
}
