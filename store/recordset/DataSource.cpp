#include "recordset/DataSource.h"

#include <algorithm>

#include "recordset/RecordSet.h"

namespace quorvel {

DataSource::DataSource(RecordSet* dataSet) {
    SetDataSet(dataSet);
}

DataSource::~DataSource() {
    SetDataSet(nullptr);
}

void DataSource::SetDataSet(RecordSet* dataSet) {
    if (dataSet_ != nullptr) {
        dataSet_->removeDataSource(this);
    }
    dataSet_ = dataSet;
    if (dataSet_ != nullptr) {
        dataSet_->addDataSource(this);
    }
}

void DataSource::addObserver(DataSetObserver* observer) {
    observers_.push_back(observer);
}

void DataSource::removeObserver(DataSetObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void DataSource::Edit() {
    if (AutoEdit && dataSet_ != nullptr && dataSet_->State() == DataSetState::Browse) {
        dataSet_->Edit();
    }
}

}  // namespace quorvel
