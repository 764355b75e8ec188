#include "data/DM1.h"

TDataModule1 *DataModule1 = nullptr;

const char *const TDataModule1::ConnectionString =
    "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";User ID=Admin;Data Source=dbvord.mdb;"
    "Mode=Read|Write;Extended Properties=\"\";Locale Identifier=2052;"
    "Jet OLEDB:System database=\"\";Jet OLEDB:Registry Path=\"\";"
    "Jet OLEDB:Database Password=morwent;Jet OLEDB:Engine Type=5;"
    "Jet OLEDB:Database Locking Mode=0;Jet OLEDB:Global Partial Bulk Ops=2;"
    "Jet OLEDB:Global Bulk Transactions=1;Jet OLEDB:New Database Password=\"\";"
    "Jet OLEDB:Create System Database=False;Jet OLEDB:Encrypt Database=False;"
    "Jet OLEDB:Don't Copy Locale on Compact=False;"
    "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False";

TDataModule1::TDataModule1() : Database1(ConnectionString)
{
    DataSource1.SetDataSet(&Query1);
    DataSource2.SetDataSet(&Query2);
    DataSource3.SetDataSet(&Query3);
    DataSource4.SetDataSet(&Query4);
    Database1.Open();
    for (const std::string &sql : schema::upgradeStatements()) {
        try {
            Database1.Execute(sql);
        } catch (const EDatabaseError &) {
            // A database this program may not write runs without the newer
            // indices, only slower, and stores no received message.
        }
    }
    for (const schema::AddedColumn &added : schema::addedColumns()) {
        try {
            TAdoQuery probe(Database1, "upgrade");
            probe.SetSQL(std::string("select * from ") + added.table + " where 0");
            probe.Open();
            const bool has = probe.FindField(added.column) != nullptr;
            probe.Close();
            if (!has)
                Database1.Execute(schema::addColumnStatement(added));
        } catch (const EDatabaseError &) {
            // As above: the engine then stores no received message.
        }
    }
    // The modem, the command port and every window share the main thread:
    // another program's lock is waited for only briefly, unless an
    // operator's own action asks for longer (ado::OperatorWait).
    Database1.SetBusyTimeout(TAdoConnection::ShortBusyTimeoutMs);
}
