#include "update_record.h"

void WriteUpdateRecord(const SettingsKeyStore& store, const UpdateRecord& record)
{
    bool whole = store.WriteInt("Update", "HasUpdate", 1);
    whole = store.WriteString("Update", "UpdateVersion", record.version.c_str()) && whole;
    whole = store.WriteString("Update", "UpdatePath", record.path.c_str()) && whole;
    whole = store.WriteInt("update", "force", record.force) && whole;
    whole = store.WriteInt("Update", "Silent", record.silent) && whole;
    if (whole)
        return;
    // Part of the values may still be the previous update's, and the copy
    // they would name is already replaced: claim nothing, so that the next
    // check fetches the update again. That check compares Ver with any
    // UpdateVersion left, whatever HasUpdate says: it goes too.
    if (!store.WriteString("Update", "HasUpdate", nullptr))
        store.WriteInt("Update", "HasUpdate", 0);
    store.WriteString("Update", "UpdateVersion", nullptr);
}
