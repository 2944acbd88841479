#include "platform/linux/LinuxDesktopNotifications.h"

#include "base/Product.h"
#include "platform/Platform.h"

#include <cstdint>
#include <gio/gio.h>

namespace kestrola::platform {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kDefaultAction = "default";

// The service may read the body as markup; the message shows as typed.
std::string EscapeNotificationMarkup(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

struct LinuxDesktopNotifications::Bus {
    GDBusConnection* connection = nullptr;
    GCancellable* cancel = g_cancellable_new();
    guint subscription = 0;
    bool tried = false;   // a connection was attempted (only once)
    std::uint32_t id = 0; // the service's number of the notification shown; 0 for none
    std::function<void()> onActivated;

    static void OnNotified(GObject* source, GAsyncResult* result, gpointer data) {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (reply == nullptr) {
            // Cancelled (the object is gone) or no service: nothing to remember.
            g_error_free(error);
            return;
        }
        guint32 id = 0;
        g_variant_get(reply, "(u)", &id);
        g_variant_unref(reply);
        static_cast<Bus*>(data)->id = id;
    }

    static void OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                         const gchar* signal, GVariant* parameters, gpointer data) {
        auto* bus = static_cast<Bus*>(data);
        guint32 id = 0;
        const gchar* action = nullptr;
        if (g_strcmp0(signal, "ActionInvoked") != 0 ||
            !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)")))
            return;
        g_variant_get(parameters, "(u&s)", &id, &action);
        if (id != 0 && id == bus->id && g_strcmp0(action, kDefaultAction) == 0 && bus->onActivated)
            bus->onActivated();
    }
};

namespace {

// The session's bus when it has one; GLib would otherwise start a bus of its own for us.
bool SessionBusKnown() {
    const gchar* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0')
        return true;
    const gchar* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0')
        return false;
    gchar* socket = g_build_filename(runtime, "bus", nullptr);
    const bool there = g_file_test(socket, G_FILE_TEST_EXISTS);
    g_free(socket);
    return there;
}

} // namespace

LinuxDesktopNotifications::LinuxDesktopNotifications() : m_bus(std::make_unique<Bus>()) {}

// The bus is reached at the first notification, not at start: connecting costs round trips
// that would otherwise delay the window.
bool LinuxDesktopNotifications::Connect() {
    if (m_bus->connection != nullptr || m_bus->tried)
        return m_bus->connection != nullptr;
    m_bus->tried = true;
    if (!SessionBusKnown())
        return false;
    m_bus->connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (m_bus->connection == nullptr)
        return false;
    m_bus->subscription = g_dbus_connection_signal_subscribe(
        m_bus->connection, kService, kService, "ActionInvoked", kPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &Bus::OnSignal, m_bus.get(), nullptr);
    return true;
}

LinuxDesktopNotifications::~LinuxDesktopNotifications() {
    g_cancellable_cancel(m_bus->cancel);
    if (m_bus->connection != nullptr) {
        if (m_bus->subscription != 0)
            g_dbus_connection_signal_unsubscribe(m_bus->connection, m_bus->subscription);
        g_object_unref(m_bus->connection);
    }
    g_object_unref(m_bus->cancel);
}

void LinuxDesktopNotifications::Show(const std::string& summary, const std::string& body,
                                     std::function<void()> onActivated) {
    if (!Connect())
        return;
    m_bus->onActivated = std::move(onActivated);
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&actions, "s", kDefaultAction);
    g_variant_builder_add(&actions, "s", "Show");
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                          g_variant_new_string(core::kProgramExecutableName.data()));
    // Normal urgency: the desktop's do-not-disturb holds it back (critical would not be).
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    g_variant_builder_add(&hints, "{sv}", "category", g_variant_new_string("im.received"));
    const std::string text = EscapeNotificationMarkup(body);
    g_dbus_connection_call(m_bus->connection, kService, kPath, kService, "Notify",
                           g_variant_new("(susssasa{sv}i)", core::kApplicationName.data(),
                                         m_bus->id, core::kProgramExecutableName.data(),
                                         summary.c_str(), text.c_str(), &actions, &hints, -1),
                           G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, m_bus->cancel,
                           &Bus::OnNotified, m_bus.get());
}

} // namespace kestrola::platform
