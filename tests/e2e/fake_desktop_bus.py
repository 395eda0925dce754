"""Minimal desktop services on a session bus, for end-to-end tests.

    python3 fake_desktop_bus.py [--notifications] [--watcher]

--notifications owns org.freedesktop.Notifications: every Notify call is
printed as one JSON line {"notify": {...}}; the line "click <id>" on standard
input emits ActionInvoked(id, "default").
--watcher owns org.kde.StatusNotifierWatcher with a registered host: every
RegisterStatusNotifierItem call is printed as {"registered": <service>, "sender": <bus name>}.
Prints {"ready": true} once the names are owned. Needs python3-dbus and python3-gi.
"""

import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NOTIFY_IFACE = "org.freedesktop.Notifications"
WATCHER_IFACE = "org.kde.StatusNotifierWatcher"


def emit(obj):
    sys.stdout.write(json.dumps(obj) + "\n")
    sys.stdout.flush()


class Notifications(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.next_id = 0

    @dbus.service.method(NOTIFY_IFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout):
        self.next_id += 1
        emit({"notify": {"id": self.next_id, "app_name": str(app_name), "app_icon": str(app_icon),
                         "summary": str(summary), "body": str(body), "actions": [str(a) for a in actions],
                         "hints": {str(k): str(v) for k, v in hints.items()},
                         "expire_timeout": int(expire_timeout)}})
        return self.next_id

    @dbus.service.method(NOTIFY_IFACE, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "actions"]

    @dbus.service.method(NOTIFY_IFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("fake", "palavero-tests", "1", "1.2")

    @dbus.service.method(NOTIFY_IFACE, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        self.NotificationClosed(notification_id, 3)

    @dbus.service.signal(NOTIFY_IFACE, signature="us")
    def ActionInvoked(self, notification_id, action_key):
        pass

    @dbus.service.signal(NOTIFY_IFACE, signature="uu")
    def NotificationClosed(self, notification_id, reason):
        pass


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.items = []

    @dbus.service.method(WATCHER_IFACE, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        self.items.append(str(service))
        emit({"registered": str(service), "sender": str(sender)})
        self.StatusNotifierItemRegistered(service)

    @dbus.service.method(WATCHER_IFACE, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER_IFACE, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s",
                         path_keyword="object_path", connection_keyword="connection")
    def Introspect(self, object_path, connection):
        # Qt reads the host property through the introspected interface.
        xml = super().Introspect(object_path, connection)
        return xml.replace('<interface name="%s">' % WATCHER_IFACE,
                           '<interface name="%s">'
                           '<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>'
                           '<property name="ProtocolVersion" type="i" access="read"/>'
                           '<property name="RegisteredStatusNotifierItems" type="as" access="read"/>'
                           % WATCHER_IFACE)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return self.GetAll(interface)[prop]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0),
                "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s")}


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = []
    if "--notifications" in sys.argv:
        notifications = Notifications(bus)
        keep.append(dbus.service.BusName("org.freedesktop.Notifications", bus))

        def on_input(source, _condition):
            line = source.readline()
            if not line:
                loop.quit()
                return False
            parts = line.split()
            if len(parts) == 2 and parts[0] == "click":
                notifications.ActionInvoked(dbus.UInt32(int(parts[1])), "default")
            return True

        GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    if "--watcher" in sys.argv:
        keep.append(Watcher(bus))
        keep.append(dbus.service.BusName("org.kde.StatusNotifierWatcher", bus))
    emit({"ready": True})
    loop = GLib.MainLoop()
    loop.run()


if __name__ == "__main__":
    main()
