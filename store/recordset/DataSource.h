// DataSource1: joins the bound controls to the record set. Passes every notice of the set on to
// each observer, and lets a control start an edit when AutoEdit allows it.
#pragma once

#include <vector>

#include "recordset/DataSetObserver.h"

namespace quorvel {

class RecordSet;

class DataSource {
  public:
    explicit DataSource(RecordSet* dataSet = nullptr);
    ~DataSource();
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    RecordSet* DataSet() const { return dataSet_; }
    void SetDataSet(RecordSet* dataSet);
    bool AutoEdit = true;

    void addObserver(DataSetObserver* observer);
    void removeObserver(DataSetObserver* observer);

    // What a control calls when the user starts to change its value: Edit on the set when
    // AutoEdit is on and the set is in browse. Failures go to the caller.
    void Edit();

    // Called by the record set; delivers a notice to every observer, in the order they came.
    template <typename Notice>
    void notify(Notice&& notice) {
        const std::vector<DataSetObserver*> observers = observers_;  // one may leave meanwhile
        for (DataSetObserver* observer : observers) {
            notice(*observer);
        }
    }

  private:
    RecordSet* dataSet_ = nullptr;
    std::vector<DataSetObserver*> observers_;
};

}  // namespace quorvel
