// GIO's headers come first and alone: they use `signals` as a field name,
// which Qt defines as a macro.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "desktop/ApplicationDatabase.h"

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <set>

namespace dromel {
namespace {

struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using Owned = std::unique_ptr<T, ObjectUnref>;

struct FreeText {
    void operator()(gchar *text) const { g_free(text); }
};
using OwnedText = std::unique_ptr<gchar, FreeText>;

std::string text(const char *value) {
    return value ? std::string(value) : std::string();
}

void report(GError *failure, std::string *error) {
    if (error)
        *error = failure ? failure->message : "unknown failure";
    if (failure)
        g_error_free(failure);
}

bool takesList(GAppInfo *info) {
    const std::string command = text(g_app_info_get_commandline(info));
    return command.find("%F") != std::string::npos || command.find("%U") != std::string::npos;
}

DesktopApplication describeApplication(GAppInfo *info) {
    DesktopApplication application;
    application.id = text(g_app_info_get_id(info));
    application.name = text(g_app_info_get_name(info));
    if (GIcon *icon = g_app_info_get_icon(info)) {
        if (G_IS_THEMED_ICON(icon)) {
            const gchar *const *names = g_themed_icon_get_names(G_THEMED_ICON(icon));
            if (names && names[0])
                application.icon = names[0];
        } else if (G_IS_FILE_ICON(icon)) {
            OwnedText path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
            application.icon = text(path.get());
        }
    }
    application.takesList = takesList(info);
    return application;
}

// Takes ownership of a GList of GAppInfo and keeps those not seen yet.
void collect(GList *list, std::vector<DesktopApplication> &into, std::set<std::string> &seen) {
    for (GList *node = list; node; node = node->next) {
        auto *info = static_cast<GAppInfo *>(node->data);
        const char *id = g_app_info_get_id(info);
        if (id && seen.insert(id).second)
            into.push_back(describeApplication(info));
    }
    g_list_free_full(list, g_object_unref);
}

Owned<GAppInfo> lookUp(const std::string &id) {
    return Owned<GAppInfo>(G_APP_INFO(g_desktop_app_info_new(id.c_str())));
}

} // namespace

std::string ApplicationDatabase::mimeTypeOf(const std::string &path) {
    Owned<GFile> file(g_file_new_for_path(path.c_str()));
    Owned<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                            G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char *type = info ? g_file_info_get_content_type(info.get()) : nullptr;
    if (!type)
        return "application/octet-stream";
    OwnedText mime(g_content_type_get_mime_type(type));
    return mime ? text(mime.get()) : text(type);
}

std::string ApplicationDatabase::describe(const std::string &mimeType) {
    OwnedText type(g_content_type_from_mime_type(mimeType.c_str()));
    OwnedText description(g_content_type_get_description(type ? type.get() : mimeType.c_str()));
    return text(description.get());
}

bool ApplicationDatabase::isExecutable(const std::string &path, const std::string &mimeType) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || (status.st_mode & 0111) == 0)
        return false;
    OwnedText type(g_content_type_from_mime_type(mimeType.c_str()));
    return g_content_type_can_be_executable(type ? type.get() : mimeType.c_str());
}

std::optional<DesktopApplication> ApplicationDatabase::defaultFor(const std::string &mimeType) {
    Owned<GAppInfo> info(g_app_info_get_default_for_type(mimeType.c_str(), FALSE));
    if (!info)
        return std::nullopt;
    return describeApplication(info.get());
}

std::vector<DesktopApplication> ApplicationDatabase::applicationsFor(const std::string &mimeType) {
    std::vector<DesktopApplication> applications;
    std::set<std::string> seen;
    if (std::optional<DesktopApplication> first = defaultFor(mimeType)) {
        seen.insert(first->id);
        applications.push_back(std::move(*first));
    }
    collect(g_app_info_get_recommended_for_type(mimeType.c_str()), applications, seen);
    collect(g_app_info_get_all_for_type(mimeType.c_str()), applications, seen);
    return applications;
}

std::vector<DesktopApplication> ApplicationDatabase::all() {
    std::vector<DesktopApplication> applications;
    GList *list = g_app_info_get_all();
    for (GList *node = list; node; node = node->next) {
        auto *info = static_cast<GAppInfo *>(node->data);
        if (g_app_info_should_show(info) && g_app_info_get_id(info))
            applications.push_back(describeApplication(info));
    }
    g_list_free_full(list, g_object_unref);
    std::sort(applications.begin(), applications.end(),
              [](const DesktopApplication &a, const DesktopApplication &b) {
                  OwnedText left(g_utf8_collate_key(a.name.c_str(), -1));
                  OwnedText right(g_utf8_collate_key(b.name.c_str(), -1));
                  return std::string_view(left.get()) < std::string_view(right.get());
              });
    return applications;
}

std::optional<DesktopApplication> ApplicationDatabase::find(const std::string &id) {
    Owned<GAppInfo> info = lookUp(id);
    if (!info)
        return std::nullopt;
    return describeApplication(info.get());
}

bool ApplicationDatabase::setDefault(const std::string &applicationId, const std::string &mimeType,
                                     std::string *error) {
    Owned<GAppInfo> info = lookUp(applicationId);
    if (!info) {
        if (error)
            *error = "no application " + applicationId;
        return false;
    }
    GError *failure = nullptr;
    if (g_app_info_set_as_default_for_type(info.get(), mimeType.c_str(), &failure))
        return true;
    report(failure, error);
    return false;
}

bool ApplicationDatabase::launch(const std::string &applicationId, const std::vector<std::string> &paths,
                                 std::string *error) {
    Owned<GAppInfo> info = lookUp(applicationId);
    if (!info) {
        if (error)
            *error = "no application " + applicationId;
        return false;
    }
    GList *files = nullptr;
    for (auto path = paths.rbegin(); path != paths.rend(); ++path)
        files = g_list_prepend(files, g_file_new_for_path(path->c_str()));
    GError *failure = nullptr;
    const bool launched = g_app_info_launch(info.get(), files, nullptr, &failure);
    g_list_free_full(files, g_object_unref);
    if (!launched)
        report(failure, error);
    return launched;
}

std::vector<OpenGroup> ApplicationDatabase::plan(const std::vector<std::string> &paths) {
    std::vector<OpenGroup> groups;
    for (const std::string &path : paths) {
        const std::string mimeType = mimeTypeOf(path);
        const bool executable = isExecutable(path, mimeType);
        // Programs are asked about one by one; other items join their type's launch.
        auto group = std::find_if(groups.begin(), groups.end(), [&](const OpenGroup &existing) {
            return !executable && !existing.executable && existing.mimeType == mimeType;
        });
        if (group == groups.end()) {
            groups.push_back({mimeType, {}, applicationsFor(mimeType), executable});
            group = std::prev(groups.end());
        }
        group->paths.push_back(path);
    }
    return groups;
}

} // namespace dromel
