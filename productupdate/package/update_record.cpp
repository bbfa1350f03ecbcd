#include "update_record.h"

void WriteUpdateRecord(const SettingsKeyStore& store, const UpdateRecord& record)
{
    store.WriteInt("Update", "HasUpdate", 1);
    store.WriteString("Update", "UpdateVersion", record.version.c_str());
    store.WriteString("Update", "UpdatePath", record.path.c_str());
    store.WriteInt("update", "force", record.force);
    store.WriteInt("Update", "Silent", record.silent);
}
