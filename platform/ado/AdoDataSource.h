#pragma once

#include <QObject>

class TAdoQuery;

// Links a query to data-aware views and editors: they follow its signals
// and read and write through its fields. Main thread only; the signals are
// emitted synchronously from inside the query's calls.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr);
    ~TDataSource() override;

    TAdoQuery *DataSet() const { return dataSet_; }
    void SetDataSet(TAdoQuery *query);

signals:
    // Opened or closed, or Edit, Append, Post or Cancel changed the state.
    void StateChange();
    // The current row moved or changed, or a field was assigned.
    void DataChange();
    // A Post is about to write: bound editors assign their pending input now.
    void UpdateData();

private:
    friend class TAdoQuery;
    TAdoQuery *dataSet_ = nullptr;
};
