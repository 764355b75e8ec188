#include "platform/ado/AdoDataSource.h"

#include "platform/ado/AdoQuery.h"

#include <algorithm>

TDataSource::TDataSource(QObject *parent) : QObject(parent) {}

TDataSource::~TDataSource() { SetDataSet(nullptr); }

void TDataSource::SetDataSet(TAdoQuery *query)
{
    if (query == dataSet_)
        return;
    if (dataSet_) {
        auto &list = dataSet_->sources_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    dataSet_ = query;
    if (dataSet_)
        dataSet_->sources_.push_back(this);
    emit StateChange();
    emit DataChange();
}
