// The update server of the product: manifests, packages and file lists.
#pragma once

constexpr char kUpdateServerHost[] = "update.velnor.example";

// The product's web site, where a user can always download the product: the
// up-to-date page's link line names it, and a failed download sends the
// user there.
constexpr char kProductSite[] = "http://www.velnor.example/";
