#include "shell/detail/ApplicationDatabase.h"

#include <gio/gio.h>

namespace dromel::ApplicationDatabase {

bool opens(const std::string &mimeType) {
    gchar *type = g_content_type_from_mime_type(mimeType.c_str());
    if (!type)
        return false;
    GAppInfo *application = g_app_info_get_default_for_type(type, FALSE);
    GList *all = application ? nullptr : g_app_info_get_all_for_type(type);
    const bool found = application || all;
    if (application)
        g_object_unref(application);
    g_list_free_full(all, g_object_unref);
    g_free(type);
    return found;
}

} // namespace dromel::ApplicationDatabase
