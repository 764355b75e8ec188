#pragma once

#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "support/ColumnValues.h"
#include "support/WorkDir.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A fresh work folder made the current directory, with a newly made
// database, and the data module open on it. probe() counts and reads rows on
// a query of its own, so that checks never disturb the query under test.
class DataFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        workfolder::create(dir.path());
        reopen();
    }
    void TearDown() override
    {
        probeQuery.reset();
        dm.reset();
    }

    // A new data module on the database file, as the program makes at its
    // start (the upgrades of an older database run then).
    void reopen()
    {
        probeQuery.reset();
        dm = std::make_unique<TDataModule1>();
        probeQuery = std::make_unique<TAdoQuery>(dm->Database1, "probe");
    }

    TAdoQuery &probe(const std::string &sql)
    {
        probeQuery->SetSQL(sql);
        probeQuery->Open();
        return *probeQuery;
    }
    int count(const std::string &sql) { return probe(sql).RecordCount(); }
    // Column values of every row, in the order returned.
    std::vector<std::string> column(const std::string &sql, const char *field)
    {
        return columnValues(*probeQuery, sql, field);
    }

    WorkDir dir;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<TAdoQuery> probeQuery;
};
