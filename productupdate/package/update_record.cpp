#include "update_record.h"

#include "shared/facts.h"

void WriteUpdateRecord(const SettingsKeyStore& store, const UpdateRecord& record)
{
    bool whole = store.WriteInt(kRecordSection, kHasUpdateValue, 1);
    whole = store.WriteString(kRecordSection, kUpdateVersionValue, record.version.c_str()) && whole;
    whole = store.WriteString(kRecordSection, kUpdatePathValue, record.path.c_str()) && whole;
    whole = store.WriteInt(kRecordForceSection, kForceValue, record.force) && whole;
    whole = store.WriteInt(kRecordSection, kSilentValue, record.silent) && whole;
    if (whole)
        return;
    // Part of the values may still be the previous update's, and the copy
    // they would name is already replaced: claim nothing, so that the next
    // check fetches the update again. That check compares Ver with any
    // UpdateVersion left, whatever HasUpdate says: it goes too.
    if (!store.WriteString(kRecordSection, kHasUpdateValue, nullptr))
        store.WriteInt(kRecordSection, kHasUpdateValue, 0);
    store.WriteString(kRecordSection, kUpdateVersionValue, nullptr);
}
