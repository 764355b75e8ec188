#pragma once

#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "desk/Login.h"
#include "desk/Startup.h"
#include "desk/main.h"
#include "gateway/CmppServer.h"
#include "platform/text/Profile.h"
#include "support/BoxScript.h"
#include "support/ColumnValues.h"
#include "support/WorkDir.h"

#include <QApplication>
#include <QHostAddress>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

// Acts on modal dialogs from inside their own message loops: each planned
// action waits, in order, for the next shown modal widget of its class. The
// action runs from a queued call, so that a dialog it opens in turn can be
// driven by the next action.
class ModalDriver {
public:
    ModalDriver()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    template <class T> void then(std::function<void(T *)> action)
    {
        plan_.push_back({[](QWidget *w) { return qobject_cast<T *>(w) != nullptr; },
                         [action](QWidget *w) { action(qobject_cast<T *>(w)); }});
    }
    bool done() const { return plan_.empty(); }

private:
    struct Step {
        std::function<bool(QWidget *)> matches;
        std::function<void(QWidget *)> act;
    };

    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (plan_.empty() || !w || !w->isVisible() || w == last_ || !plan_.front().matches(w))
            return;
        Step step = plan_.front();
        plan_.pop_front();
        last_ = w;
        QPointer<QWidget> target = w;
        QTimer::singleShot(0, [step, target] {
            if (target)
                step.act(target);
        });
    }

    QTimer timer_;
    std::deque<Step> plan_;
    QPointer<QWidget> last_;
};

// A fresh work folder with a new database, made the current directory; the
// desk's windows and the data module are freed after each test. A started
// engine finds no modem (never the machine's own serial port) and listens on
// a free loopback port.
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
        desk::shutDesk();
    }

    // Creates the main window and logs in with the dialog's pre-filled boxes
    // (the supervisor); the dispatch timers are stopped again so that a test
    // runs the passes itself.
    TMainFrm *login()
    {
        modal.then<TfrmLogin>([](TfrmLogin *d) { d->Button1Click(); });
        auto *main = new TMainFrm;
        EXPECT_TRUE(main->LoggedIn());
        main->Timer1->stop();
        main->Timer3->stop();
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
    // One column of every row, in the order returned.
    static std::vector<std::string> column(const std::string &sql, const char *field)
    {
        TAdoQuery q(DataModule1->Database1);
        return columnValues(q, sql, field);
    }

    WorkDir dir;
    BoxScript boxes;
    ModalDriver modal;
};
