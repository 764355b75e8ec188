#pragma once

#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "desk/Login.h"
#include "desk/Startup.h"
#include "desk/main.h"
#include "gateway/CmppServer.h"
#include "harness/BoxScript.h"
#include "harness/ModalDriver.h"
#include "platform/text/Profile.h"
#include "support/ColumnValues.h"
#include "support/WorkDir.h"

#include <QApplication>
#include <QHostAddress>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A check list's items in order, each ticked one followed by "+".
inline QStringList checkListText(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text() + (list->item(i)->checkState() == Qt::Checked ? "+" : "");
    return out;
}

// A fresh work folder with a new database, made the current directory; the
// desk's process-wide objects, made through process, are freed after each
// test as at the program's end. A started engine finds no modem (never the
// machine's own serial port) and listens on a free loopback port.
class DeskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        workfolder::create(dir.path());
        profile::writeString("CH1", "COMPORT", dir.file("no-modem"), "smsset.ini");
        TCMPPSet::ListenOn = {QHostAddress(QHostAddress::LocalHost), 0};
    }
    void TearDown() override
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        process.reset();
    }

    // Creates the main window and logs in with the dialog's pre-filled boxes
    // (the supervisor); the dispatch timers are stopped again so that a test
    // runs the passes itself.
    TMainFrm *login()
    {
        modal.then<TfrmLogin>([](TfrmLogin *d) { d->Button1Click(); });
        TMainFrm *main = process->OpenMainWindow();
        EXPECT_NE(main, nullptr);
        if (main) {
            main->Timer1->stop();
            main->Timer3->stop();
        }
        return main;
    }

    // Appends one row.
    static void add(const std::string &table, const ado::FieldTexts &fields)
    {
        TAdoQuery q(DataModule1->Database1);
        ado::appendRow(q, table, fields);
    }
    static void exec(const std::string &sql)
    {
        TAdoQuery q(DataModule1->Database1);
        q.SetSQL(sql);
        q.ExecSQL();
    }
    static int count(const std::string &sql)
    {
        TAdoQuery q(DataModule1->Database1);
        q.SetSQL(sql);
        q.Open();
        return q.RecordCount();
    }
    // Another program's write transaction, held until the connection goes.
    static std::unique_ptr<TAdoConnection> anotherProgramsLock()
    {
        auto other = std::make_unique<TAdoConnection>(TDataModule1::ConnectionString);
        other->Open();
        other->Execute("begin immediate");
        return other;
    }
    // One column of every row, in the order returned.
    static std::vector<std::string> column(const std::string &sql, const char *field)
    {
        TAdoQuery q(DataModule1->Database1);
        return columnValues(q, sql, field);
    }

    WorkDir dir;
    BoxScript boxes;
    ModalDriver modal;
    std::optional<desk::TDeskProcess> process{std::in_place};
};
