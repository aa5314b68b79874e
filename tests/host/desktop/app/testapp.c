/* A small GTK3 application for the end-to-end tests of the host.
 *
 * Normal mode: one window "Test App" with a colour strip (solid magenta, so a capture can be
 * checked), a text entry, a password entry, a push button and a scrollable multi-line text
 * view. It reports on stdout, one line each, what happens to it:
 *   ready pid=P window=XID        the window is mapped (XID: its own X window, decimal;
 *                                 0 on Wayland, where windows have no client-side number)
 *   focus NAME                    keyboard focus moved to widget NAME (entry, password,
 *                                 button, view) or to none
 *   active yes|no                 the window became active or inactive
 *   pressed                       the button was pressed
 *   entry TEXT                    the entry's text changed
 *   password LENGTH               the password entry changed (its length only)
 *   scroll VALUE                  the text view scrolled to VALUE (pixels, rounded)
 *   focused NAME                  answer to "focus NAME"
 *   active yes|no                 also the answer to "active"
 *   geometry NAME X Y W H         answer to "geometry NAME": the widget's top-left corner
 *                                 in root coordinates and its size ("none" if unknown); on
 *                                 Wayland relative to the window's own surface, since a
 *                                 Wayland client does not know where it is. NAME "inert"
 *                                 is a place where a click does nothing but bring the
 *                                 window to the front (the strip, or the whole cover)
 *   values entry=TEXT password=LENGTH scroll=VALUE   answer to "report"
 *   page VALUE                    answer to "page": the text view's page size (pixels)
 *   activated NAME                Enter was done on widget NAME (entry, readonly, spin)
 *   readonly TEXT                 answer to "readonly": the read-only entry's text
 *   pressed disabled              the disabled button was pressed (it never should be)
 *   popup shown|hidden            the combo box's popup opened or closed ("popup": open it)
 * With --controls the window also holds a disabled button, a read-only entry, a spin
 * button and a combo box, and the text view sits in a framed scroller with a horizontal bar always shown.
 * Commands on stdin, one a line: "focus NAME", "geometry NAME", "active", "present", "move X Y",
 * "report", "page", "readonly", "popup", "hang" (stop handling events for good), "quit". SIGUSR1 also hangs it. End of input
 * only ends the commands.
 *
 * Cover mode (--cover): one undecorated solid green window, "Cover", meant to lie over
 * another window. --popup makes the window unmanaged (override-redirect), like a menu: it
 * stays above the others without taking the focus. Options: --title T, --size WxH, --position X,Y
 * (of the window), --opacity A (asks for _NET_WM_WINDOW_OPACITY A, 0 to 1), --claim-pid P
 * (writes P into its own _NET_WM_PID, as a program passing itself off as another would).
 */
#include <X11/Xatom.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static GtkWidget* window;
static GtkWidget* entry;
static GtkWidget* password;
static GtkWidget* button;
static GtkWidget* strip;
static GtkWidget* inert; /* a click here only brings the window to the front */
static GtkWidget* view;
static GtkWidget* disabled;
static GtkWidget* readonly;
static GtkWidget* spin;
static GtkWidget* combo;
static gboolean controls;
static GtkAdjustment* vadjustment;
static volatile sig_atomic_t hang_requested;
static long claimed_pid = -1;
static double opacity = -1;

static void hang_forever(void) {
    printf("hung\n");
    for (;;)
        pause();
}

static void on_sigusr1(int sig) {
    (void)sig;
    hang_requested = 1;
}

static gboolean check_hang(gpointer data) {
    (void)data;
    if (hang_requested) hang_forever();
    return G_SOURCE_CONTINUE;
}

static void on_pressed(GtkButton* b, gpointer data) {
    (void)b;
    (void)data;
    printf("pressed\n");
}

static void on_disabled_pressed(GtkButton* b, gpointer data) {
    (void)b;
    (void)data;
    printf("pressed disabled\n");
}

static void on_activated(GtkEntry* e, gpointer data) {
    (void)data;
    printf("activated %s\n", gtk_widget_get_name(GTK_WIDGET(e)));
}

static void on_popup_shown(GObject* o, GParamSpec* p, gpointer data) {
    (void)p;
    (void)data;
    gboolean shown = FALSE;
    g_object_get(o, "popup-shown", &shown, NULL);
    printf("popup %s\n", shown ? "shown" : "hidden");
}

static void on_entry_changed(GtkEditable* e, gpointer data) {
    (void)data;
    printf("entry %s\n", gtk_entry_get_text(GTK_ENTRY(e)));
}

static void on_password_changed(GtkEditable* e, gpointer data) {
    (void)data;
    printf("password %u\n", (unsigned)gtk_entry_get_text_length(GTK_ENTRY(e)));
}

static void on_scrolled(GtkAdjustment* a, gpointer data) {
    (void)data;
    printf("scroll %.0f\n", gtk_adjustment_get_value(a));
}

static void on_set_focus(GtkWindow* w, GtkWidget* widget, gpointer data) {
    (void)w;
    (void)data;
    printf("focus %s\n", widget ? gtk_widget_get_name(widget) : "none");
}

static void on_active(GObject* o, GParamSpec* p, gpointer data) {
    (void)p;
    (void)data;
    printf("active %s\n", gtk_window_is_active(GTK_WINDOW(o)) ? "yes" : "no");
}

static gboolean on_x11(void) {
    return GDK_IS_X11_DISPLAY(gdk_display_get_default());
}

static void set_cardinal(GdkWindow* w, const char* property, unsigned long value) {
    if (!on_x11()) return;
    Display* display = GDK_WINDOW_XDISPLAY(w);
    XChangeProperty(display, GDK_WINDOW_XID(w), XInternAtom(display, property, False), XA_CARDINAL,
                    32, PropModeReplace, (const unsigned char*)&value, 1);
    XSync(display, False);
}

static void on_map(GtkWidget* w, GdkEvent* e, gpointer data) {
    (void)e;
    (void)data;
    GdkWindow* own = gtk_widget_get_window(w);
    if (claimed_pid >= 0) set_cardinal(own, "_NET_WM_PID", (unsigned long)claimed_pid);
    if (opacity >= 0) set_cardinal(own, "_NET_WM_WINDOW_OPACITY", (unsigned long)(opacity * 4294967295.0));
    printf("ready pid=%d window=%lu\n", (int)getpid(),
           on_x11() ? (unsigned long)gdk_x11_window_get_xid(own) : 0UL);
}

static gboolean draw_solid(GtkWidget* w, cairo_t* cr, gpointer rgb) {
    (void)w;
    const double* c = rgb;
    cairo_set_source_rgb(cr, c[0], c[1], c[2]);
    cairo_paint(cr);
    return TRUE;
}

static GtkWidget* named(GtkWidget* widget, const char* name) {
    gtk_widget_set_name(widget, name);
    return widget;
}

static void report_values(void) {
    printf("values entry=%s password=%u scroll=%.0f\n", gtk_entry_get_text(GTK_ENTRY(entry)),
           (unsigned)gtk_entry_get_text_length(GTK_ENTRY(password)),
           gtk_adjustment_get_value(vadjustment));
}

static GtkWidget* widget_named(const char* name) {
    if (strcmp(name, "inert") == 0) return inert;
    return !entry                          ? NULL
           : strcmp(name, "entry") == 0    ? entry
           : strcmp(name, "password") == 0 ? password
           : strcmp(name, "button") == 0   ? button
           : strcmp(name, "strip") == 0    ? strip
           : strcmp(name, "view") == 0     ? view
           : strcmp(name, "disabled") == 0 ? disabled
           : strcmp(name, "readonly") == 0 ? readonly
           : strcmp(name, "spin") == 0     ? spin
           : strcmp(name, "combo") == 0    ? combo
                                           : NULL;
}

/* Where a widget is on screen: root coordinates of its top-left corner, and its size. */
static void report_geometry(const char* name) {
    GtkWidget* widget = widget_named(name);
    int x = 0, y = 0, originX = 0, originY = 0;
    if (!widget || !gtk_widget_translate_coordinates(widget, window, 0, 0, &x, &y)) {
        printf("geometry %s none\n", name);
        return;
    }
    gdk_window_get_origin(gtk_widget_get_window(window), &originX, &originY);
    printf("geometry %s %d %d %d %d\n", name, originX + x, originY + y,
           gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget));
}

static void run_command(const char* line) {
    int x, y;
    if (strncmp(line, "focus ", 6) == 0) {
        const char* name = line + 6;
        GtkWidget* target = widget_named(name);
        if (target) {
            gtk_widget_grab_focus(target);
            /* Said even when the focus was there already, for tests to wait on. */
            printf("focused %s\n", name);
        }
    } else if (strncmp(line, "geometry ", 9) == 0) {
        report_geometry(line + 9);
    } else if (strcmp(line, "active") == 0) {
        printf("active %s\n", gtk_window_is_active(GTK_WINDOW(window)) ? "yes" : "no");
    } else if (strcmp(line, "present") == 0) {
        if (on_x11())
            gtk_window_present_with_time(GTK_WINDOW(window),
                                         gdk_x11_get_server_time(gtk_widget_get_window(window)));
        else
            gtk_window_present(GTK_WINDOW(window));
    } else if (sscanf(line, "move %d %d", &x, &y) == 2) {
        gtk_window_move(GTK_WINDOW(window), x, y);
    } else if (strcmp(line, "report") == 0 && entry) {
        report_values();
    } else if (strcmp(line, "popup") == 0 && combo) {
        gtk_combo_box_popup(GTK_COMBO_BOX(combo));
    } else if (strcmp(line, "page") == 0 && entry) {
        printf("page %.0f\n", gtk_adjustment_get_page_size(vadjustment));
    } else if (strcmp(line, "readonly") == 0 && readonly) {
        printf("readonly %s\n", gtk_entry_get_text(GTK_ENTRY(readonly)));
    } else if (strcmp(line, "hang") == 0) {
        hang_forever();
    } else if (strcmp(line, "quit") == 0) {
        gtk_main_quit();
    }
}

static gboolean on_stdin(GIOChannel* channel, GIOCondition condition, gpointer data) {
    (void)data;
    gchar* line = NULL;
    gsize terminator = 0;
    GIOStatus status = G_IO_STATUS_NORMAL;
    if (condition & G_IO_IN)
        status = g_io_channel_read_line(channel, &line, NULL, &terminator, NULL);
    if (line) {
        line[terminator] = '\0';
        run_command(line);
        g_free(line);
    }
    /* End of input only ends the commands; the window stays until it is closed or killed. */
    if (status == G_IO_STATUS_EOF || status == G_IO_STATUS_ERROR ||
        (!(condition & G_IO_IN) && (condition & (G_IO_HUP | G_IO_ERR))))
        return G_SOURCE_REMOVE;
    return G_SOURCE_CONTINUE;
}

static GtkWidget* build_main_window(void) {
    static const double magenta[3] = {1.0, 0.0, 1.0};
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);

    inert = strip = named(gtk_drawing_area_new(), "strip");
    gtk_widget_set_size_request(strip, -1, 40);
    g_signal_connect(strip, "draw", G_CALLBACK(draw_solid), (gpointer)magenta);
    gtk_box_pack_start(GTK_BOX(box), strip, FALSE, FALSE, 0);

    entry = named(gtk_entry_new(), "entry");
    g_signal_connect(entry, "changed", G_CALLBACK(on_entry_changed), NULL);
    g_signal_connect(entry, "activate", G_CALLBACK(on_activated), NULL);
    gtk_box_pack_start(GTK_BOX(box), entry, FALSE, FALSE, 0);

    password = named(gtk_entry_new(), "password");
    gtk_entry_set_visibility(GTK_ENTRY(password), FALSE);
    gtk_entry_set_input_purpose(GTK_ENTRY(password), GTK_INPUT_PURPOSE_PASSWORD);
    g_signal_connect(password, "changed", G_CALLBACK(on_password_changed), NULL);
    gtk_box_pack_start(GTK_BOX(box), password, FALSE, FALSE, 0);

    button = named(gtk_button_new_with_label("Press me"), "button");
    g_signal_connect(button, "clicked", G_CALLBACK(on_pressed), NULL);
    gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);

    if (controls) {
        disabled = named(gtk_button_new_with_label("Not now"), "disabled");
        gtk_widget_set_sensitive(disabled, FALSE);
        g_signal_connect(disabled, "clicked", G_CALLBACK(on_disabled_pressed), NULL);
        gtk_box_pack_start(GTK_BOX(box), disabled, FALSE, FALSE, 0);

        readonly = named(gtk_entry_new(), "readonly");
        gtk_entry_set_text(GTK_ENTRY(readonly), "fixed");
        gtk_editable_set_editable(GTK_EDITABLE(readonly), FALSE);
        g_signal_connect(readonly, "activate", G_CALLBACK(on_activated), NULL);
        gtk_box_pack_start(GTK_BOX(box), readonly, FALSE, FALSE, 0);

        spin = named(gtk_spin_button_new_with_range(0, 100, 1), "spin");
        g_signal_connect(spin, "activate", G_CALLBACK(on_activated), NULL);
        gtk_box_pack_start(GTK_BOX(box), spin, FALSE, FALSE, 0);

        combo = named(gtk_combo_box_text_new(), "combo");
        for (int i = 1; i <= 8; i++) {
            char item[16];
            snprintf(item, sizeof item, "Choice %d", i);
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), item);
        }
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 3);
        g_signal_connect(combo, "notify::popup-shown", G_CALLBACK(on_popup_shown), NULL);
        gtk_box_pack_start(GTK_BOX(box), combo, FALSE, FALSE, 0);
    }

    view = named(gtk_text_view_new(), "view");
    GString* text = g_string_new(NULL);
    for (int i = 1; i <= 400; i++)
        g_string_append_printf(text, "Line %d of the scrollable text.\n", i);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), text->str, -1);
    g_string_free(text, TRUE);
    GtkWidget* scroller = named(gtk_scrolled_window_new(NULL, NULL), "scroller");
    if (controls) {
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_ALWAYS,
                                       GTK_POLICY_AUTOMATIC);
        gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller), FALSE);
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_NONE);
    }
    gtk_container_add(GTK_CONTAINER(scroller), view);
    vadjustment = gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroller));
    g_signal_connect(vadjustment, "value-changed", G_CALLBACK(on_scrolled), NULL);
    gtk_box_pack_start(GTK_BOX(box), scroller, TRUE, TRUE, 0);
    return box;
}

static GtkWidget* build_cover(void) {
    static const double green[3] = {0.0, 0.8, 0.0};
    GtkWidget* area = inert = named(gtk_drawing_area_new(), "cover");
    g_signal_connect(area, "draw", G_CALLBACK(draw_solid), (gpointer)green);
    return area;
}

int main(int argc, char** argv) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    gtk_init(&argc, &argv);

    gboolean cover = FALSE, popup = FALSE;
    const char* title = NULL;
    int width = 800, height = 600, x = -1, y = -1;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--cover") == 0)
            cover = TRUE;
        else if (strcmp(argv[i], "--popup") == 0)
            popup = TRUE;
        else if (strcmp(argv[i], "--controls") == 0)
            controls = TRUE;
        else if (strcmp(argv[i], "--title") == 0 && i + 1 < argc)
            title = argv[++i];
        else if (strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            sscanf(argv[++i], "%dx%d", &width, &height);
        else if (strcmp(argv[i], "--position") == 0 && i + 1 < argc)
            sscanf(argv[++i], "%d,%d", &x, &y);
        else if (strcmp(argv[i], "--claim-pid") == 0 && i + 1 < argc)
            claimed_pid = atol(argv[++i]);
        else if (strcmp(argv[i], "--opacity") == 0 && i + 1 < argc)
            opacity = atof(argv[++i]);
        else {
            fprintf(stderr,
                    "usage: %s [--cover] [--popup] [--title T] [--size WxH] [--position X,Y]"
                    " [--opacity A] [--claim-pid P] [--controls]\n",
                    argv[0]);
            return 2;
        }
    }

    window = gtk_window_new(popup ? GTK_WINDOW_POPUP : GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), title ? title : cover ? "Cover" : "Test App");
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    if (cover) gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    if (popup) gtk_widget_set_size_request(window, width, height);
    if (x >= 0 && y >= 0) gtk_window_move(GTK_WINDOW(window), x, y);
    gtk_container_add(GTK_CONTAINER(window), cover ? build_cover() : build_main_window());

    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    g_signal_connect(window, "set-focus", G_CALLBACK(on_set_focus), NULL);
    g_signal_connect(window, "notify::is-active", G_CALLBACK(on_active), NULL);
    g_signal_connect(window, "map-event", G_CALLBACK(on_map), NULL);

    GIOChannel* in = g_io_channel_unix_new(STDIN_FILENO);
    g_io_add_watch(in, G_IO_IN | G_IO_HUP | G_IO_ERR, on_stdin, NULL);
    g_io_channel_unref(in);

    signal(SIGUSR1, on_sigusr1);
    g_timeout_add(50, check_hang, NULL);

    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
