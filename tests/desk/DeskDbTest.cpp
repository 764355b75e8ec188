#include "desk/DeskDb.h"
#include "platform/ado/AdoError.h"

#include <gtest/gtest.h>

TEST(DeskDb, DeleteStatementsQuoteTextKeysAndCheckNumbers)
{
    const desk::TDeleteFrom client{"client", "CLIENTID"};
    const desk::TDeleteFrom tpl{"smsdata", "SMSID", true};
    EXPECT_EQ(client.statement("O'Brien"), "delete from client where CLIENTID='O''Brien'");
    EXPECT_EQ(client.statement("x' or '1'='1"), "delete from client where CLIENTID='x'' or ''1''=''1'");
    EXPECT_EQ(tpl.statement(" 12 "), "delete from smsdata where SMSID=12");
    for (const char *bad : {"", "12a", "1 or 1=1", "1;drop table client"})
        EXPECT_THROW(tpl.statement(bad), EDatabaseError) << bad;
    EXPECT_FALSE(desk::TDeleteFrom{});
}
