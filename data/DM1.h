#pragma once

#include "data/Schema.h"
#include "platform/ado/Ado.h"

// The data module: the one connection to "dbvord.mdb" in the current
// directory and the shared query objects, each with a fixed role:
//   Query1  nearly every statement of the desk and all of the engine's
//   Query2  a second statement while Query1's result is read; the task
//           runner's appends to sms_tosend in its contact step
//   Query3  the task runner's group-member walk
//   Query4  not used: the contact editor holds its rows in queries of its
//           own, which no timer re-points
//   Query5  the task runner's member lookup
//   Query6  appends to sms_tosend by the compose and reply dialogs and the
//           task runner
// DataSource1..4 show Query1..4 in data-aware views. Main thread only. A
// result of Query1 holds only until the main thread next runs a message loop
// (the engine's reply handlers re-point it).
class TDataModule1 {
public:
    // Opens Database1; throws EDatabaseError (the database's text) when the
    // file is missing, the password is wrong or another program locks it.
    // Once open, a lock another program holds is waited for
    // ShortBusyTimeoutMs; an operator's action waits longer (OperatorWait).
    TDataModule1();
    TDataModule1(const TDataModule1 &) = delete;
    TDataModule1 &operator=(const TDataModule1 &) = delete;

    static const char *const ConnectionString;

    TAdoConnection Database1;
    TAdoQuery Query1{Database1, "Query1"};
    TAdoQuery Query2{Database1, "Query2"};
    TAdoQuery Query3{Database1, "Query3"};
    TAdoQuery Query4{Database1, "Query4"};
    TAdoQuery Query5{Database1, "Query5"};
    TAdoQuery Query6{Database1, "Query6"};
    TDataSource DataSource1;
    TDataSource DataSource2;
    TDataSource DataSource3;
    TDataSource DataSource4;
};

// Set by the login dialog after a successful creation; null before.
extern TDataModule1 *DataModule1;
