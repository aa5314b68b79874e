/* exported init */
// Answers the host's one question, over the shell's own session-bus connection: the windows
// on the screen, front to back, with what the compositor knows of each, and which has the
// focus. The owner pid is the compositor's (the Wayland connection's credentials, or the X
// server's client record for XWayland windows), never a value a client wrote.
'use strict';

const {Gio, GLib} = imports.gi;

const PATH = '/org/tarnwick/Skelmor';
const IFACE = `
<node>
  <interface name="org.tarnwick.Skelmor.Windows">
    <method name="List">
      <arg type="a(tiub(iiii)(iiii)sd)" name="windows" direction="out"/>
      <arg type="t" name="focus" direction="out"/>
    </method>
  </interface>
</node>`;

function rect(r) {
    return [r.x, r.y, r.width, r.height];
}

function onScreen(actor, window, workspace) {
    if (!actor.visible || window.minimized) return false;
    if (window.is_override_redirect() || window.is_on_all_workspaces()) return true;
    return window.get_workspace() === workspace && window.showing_on_its_workspace();
}

class WindowFacts {
    List() {
        const workspace = global.workspace_manager.get_active_workspace();
        const rows = [];
        // Bottom to top in the compositor's stacking order: reversed, front to back.
        for (const actor of global.get_window_actors().reverse()) {
            const window = actor.get_meta_window();
            if (!window || !onScreen(actor, window, workspace)) continue;
            rows.push([
                window.get_id(),
                window.get_pid(),
                window.get_window_type(),
                window.is_override_redirect(),
                rect(window.get_frame_rect()),
                rect(window.get_buffer_rect()),
                window.get_title() ?? '',
                actor.get_opacity() / 255,
            ]);
        }
        const focus = global.display.focus_window;
        return new GLib.Variant('(a(tiub(iiii)(iiii)sd)t)', [rows, focus ? focus.get_id() : 0]);
    }
}

class Extension {
    enable() {
        const facts = new WindowFacts();
        this._exported = Gio.DBusExportedObject.wrapJSObject(IFACE, {
            ListAsync: (_params, invocation) => invocation.return_value(facts.List()),
        });
        this._exported.export(Gio.DBus.session, PATH);
    }

    disable() {
        this._exported?.unexport();
        this._exported = null;
    }
}

function init() {
    return new Extension();
}
