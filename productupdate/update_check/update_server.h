// The update server of the product: manifests, packages and file lists.
#pragma once

constexpr char kUpdateServerHost[] = "update.velnor.example";
