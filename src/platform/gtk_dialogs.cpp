// Native message boxes and the settings dialog with GTK 3, so that Japanese text, icons and
// buttons look the way a desktop user expects.
#include <gtk/gtk.h>

#include <string>

#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/text_encoding.h"

namespace quen::platform {

namespace {

// "(&S)" marks a mnemonic in the game's texts; GTK marks it with "_" (and needs "_" doubled).
std::string Mnemonic(const std::string& sjis) {
  std::string u = Cp932ToUtf8(sjis), out;
  for (size_t i = 0; i < u.size(); ++i) {
    if (u[i] == '_') {
      out += "__";
    } else if (u[i] == '&' && i + 1 < u.size()) {
      out += (u[i + 1] == '&') ? "&" : "_";
      if (u[i + 1] == '&') ++i;
    } else {
      out += u[i];
    }
  }
  return out;
}

void Drain() {
  while (gtk_events_pending()) gtk_main_iteration();
}

struct ConfigState {
  IConfigDialogLogic* logic;
  GtkWidget* dialog;
  GtkWidget* check;
  GtkWidget* label;
  GtkWidget* value;
  GtkWidget* scale;
  bool done = false;
};

void Refresh(ConfigState& s) {
  bool on = s.logic->DelayControlsEnabled();
  gtk_widget_set_sensitive(s.label, on);
  gtk_widget_set_sensitive(s.scale, on);
  gtk_widget_set_sensitive(s.value, on);
  gtk_label_set_text(GTK_LABEL(s.value), Cp932ToUtf8(s.logic->DelayText()).c_str());
}

GtkWidget* Place(GtkWidget* fixed, GtkWidget* w, int left, int top, int width, int height) {
  gtk_widget_set_size_request(w, width, height);
  gtk_fixed_put(GTK_FIXED(fixed), w, left, top);
  return w;
}

constexpr gint kResponseNoToAll = 1;
constexpr gint kResponseYesToAll = 2;

class GtkDialogs : public IDialogs {
 public:
  MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                       MsgButtons buttons) override {
    GtkMessageType type = GTK_MESSAGE_OTHER;
    switch (icon) {
      case MsgIcon::kInformation:
        type = GTK_MESSAGE_INFO;
        break;
      case MsgIcon::kWarning:
        type = GTK_MESSAGE_WARNING;
        break;
      case MsgIcon::kError:
        type = GTK_MESSAGE_ERROR;
        break;
      case MsgIcon::kQuestion:
        type = GTK_MESSAGE_QUESTION;
        break;
      case MsgIcon::kNone:
        break;
    }
    GtkButtonsType b = buttons == MsgButtons::kOk         ? GTK_BUTTONS_OK
                       : buttons == MsgButtons::kOkCancel ? GTK_BUTTONS_OK_CANCEL
                       : buttons == MsgButtons::kYesNo    ? GTK_BUTTONS_YES_NO
                                                          : GTK_BUTTONS_NONE;
    GtkWidget* d =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, type, b, "%s", Cp932ToUtf8(text).c_str());
    if (buttons == MsgButtons::kYesNoAll) {
      gtk_dialog_add_button(GTK_DIALOG(d), "\xE3\x81\xAF\xE3\x81\x84(_Y)", GTK_RESPONSE_YES);
      gtk_dialog_add_button(GTK_DIALOG(d), "\xE3\x81\x84\xE3\x81\x84\xE3\x81\x88(_N)",
                            GTK_RESPONSE_NO);
      gtk_dialog_add_button(GTK_DIALOG(d),
                            "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB",
                            GTK_RESPONSE_CANCEL);
      gtk_dialog_add_button(
          GTK_DIALOG(d), "\xE3\x81\x99\xE3\x81\xB9\xE3\x81\xA6\xE3\x81\x84\xE3\x81\x84\xE3\x81\x88",
          kResponseNoToAll);
      gtk_dialog_add_button(GTK_DIALOG(d),
                            "\xE3\x81\x99\xE3\x81\xB9\xE3\x81\xA6\xE3\x81\xAF\xE3\x81\x84",
                            kResponseYesToAll);
    }
    gtk_window_set_title(GTK_WINDOW(d), Cp932ToUtf8(caption).c_str());
    gtk_window_set_position(GTK_WINDOW(d), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(d), TRUE);
    gint r = gtk_dialog_run(GTK_DIALOG(d));
    gtk_widget_destroy(d);
    Drain();
    switch (r) {
      case GTK_RESPONSE_OK:
        return MsgAnswer::kOk;
      case GTK_RESPONSE_YES:
        return MsgAnswer::kYes;
      case GTK_RESPONSE_NO:
        return MsgAnswer::kNo;
      case kResponseNoToAll:
        return MsgAnswer::kNoToAll;
      case kResponseYesToAll:
        return MsgAnswer::kYesToAll;
      default:
        // Closing the box counts as its cancelling button.
        return buttons == MsgButtons::kOk         ? MsgAnswer::kOk
               : buttons == MsgButtons::kYesNo    ? MsgAnswer::kNo
               : buttons == MsgButtons::kYesNoAll ? MsgAnswer::kCancel
                                                  : MsgAnswer::kCancel;
    }
  }

  void OpenUrl(const std::string& url) override { SpawnOpener(Cp932ToUtf8(url)); }
  bool Interactive() const override { return true; }

  bool ChooseFile(FileDialog kind, const std::string& filter, const std::string& start_folder,
                  std::string& chosen) override {
    const GtkFileChooserAction action = kind == FileDialog::kOpen ? GTK_FILE_CHOOSER_ACTION_OPEN
                                        : kind == FileDialog::kSave
                                            ? GTK_FILE_CHOOSER_ACTION_SAVE
                                            : GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
    GtkWidget* d = gtk_file_chooser_dialog_new(
        nullptr, nullptr, action, "_Cancel", GTK_RESPONSE_CANCEL,
        kind == FileDialog::kSave ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(d);
    gtk_window_set_position(GTK_WINDOW(d), GTK_WIN_POS_CENTER);
    gtk_file_chooser_set_current_folder(chooser, start_folder.c_str());
    if (kind == FileDialog::kSave) gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    // "Name|*.a;*.b|Name|*.*": pairs of a name and its patterns.
    const std::string f = Cp932ToUtf8(filter);
    size_t pos = 0;
    while (kind != FileDialog::kFolder && pos < f.size()) {
      const size_t bar = f.find('|', pos);
      if (bar == std::string::npos) break;
      const size_t end = f.find('|', bar + 1);
      const std::string name = f.substr(pos, bar - pos);
      const std::string patterns =
          f.substr(bar + 1, end == std::string::npos ? std::string::npos : end - bar - 1);
      GtkFileFilter* ff = gtk_file_filter_new();
      gtk_file_filter_set_name(ff, name.c_str());
      size_t p = 0;
      while (p <= patterns.size()) {
        const size_t semi = patterns.find(';', p);
        const std::string one =
            patterns.substr(p, semi == std::string::npos ? std::string::npos : semi - p);
        if (!one.empty()) gtk_file_filter_add_pattern(ff, one.c_str());
        if (semi == std::string::npos) break;
        p = semi + 1;
      }
      gtk_file_chooser_add_filter(chooser, ff);
      if (end == std::string::npos) break;
      pos = end + 1;
    }
    bool ok = false;
    if (gtk_dialog_run(GTK_DIALOG(d)) == GTK_RESPONSE_ACCEPT) {
      if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
        chosen = name;
        g_free(name);
        ok = true;
      }
    }
    gtk_widget_destroy(d);
    Drain();
    return ok;
  }

  void RunConfigDialog(IConfigDialogLogic& logic, const ConfigDialogTexts& texts) override {
    // The dialog was laid out for a 12-pixel font; a larger one would push the controls apart.
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "* { font-size: 9pt; }", -1, nullptr);
    GdkScreen* screen = gdk_screen_get_default();
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    ConfigState s{};
    s.logic = &logic;
    s.dialog = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* win = GTK_WINDOW(s.dialog);
    gtk_window_set_title(win, Cp932ToUtf8(texts.caption).c_str());
    gtk_window_set_resizable(win, FALSE);
    gtk_window_set_type_hint(win, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(win, GTK_WIN_POS_CENTER);
    gtk_window_set_default_size(win, 270, 179);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, 270, 179);
    gtk_container_add(GTK_CONTAINER(s.dialog), fixed);

    Place(fixed, gtk_frame_new(nullptr), 8, 8, 253, 113);
    s.check = Place(fixed, gtk_check_button_new_with_mnemonic(Mnemonic(texts.sound_check).c_str()),
                    28, 24, 217, 17);
    s.label = Place(fixed, gtk_label_new_with_mnemonic(Mnemonic(texts.delay_label).c_str()), 28, 56,
                    123, 12);
    gtk_label_set_xalign(GTK_LABEL(s.label), 0.0f);
    s.value = Place(fixed, gtk_label_new(""), 173, 56, 68, 12);
    gtk_label_set_xalign(GTK_LABEL(s.value), 1.0f);
    s.scale = Place(fixed, gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 1, 5, 1), 28, 72,
                    221, 25);
    gtk_scale_set_draw_value(GTK_SCALE(s.scale), FALSE);
    gtk_range_set_increments(GTK_RANGE(s.scale), 1, 1);
    gtk_range_set_round_digits(GTK_RANGE(s.scale), 0);
    for (int i = 1; i <= 5; ++i) gtk_scale_add_mark(GTK_SCALE(s.scale), i, GTK_POS_BOTTOM, nullptr);
    gtk_label_set_mnemonic_widget(GTK_LABEL(s.label), s.scale);
    GtkWidget* ok =
        Place(fixed, gtk_button_new_with_label(Cp932ToUtf8(texts.ok).c_str()), 100, 140, 75, 25);
    GtkWidget* cancel = Place(fixed, gtk_button_new_with_label(Cp932ToUtf8(texts.cancel).c_str()),
                              180, 140, 75, 25);
    gtk_widget_set_can_default(ok, TRUE);

    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(s.check), logic.SoundChecked());
    gtk_range_set_value(GTK_RANGE(s.scale), logic.TrackPosition());
    Refresh(s);

    g_signal_connect(s.check, "toggled", G_CALLBACK(+[](GtkToggleButton* b, gpointer p) {
                       auto& st = *static_cast<ConfigState*>(p);
                       st.logic->SetSoundChecked(gtk_toggle_button_get_active(b));
                       Refresh(st);
                     }),
                     &s);
    g_signal_connect(s.scale, "value-changed", G_CALLBACK(+[](GtkRange* r, gpointer p) {
                       auto& st = *static_cast<ConfigState*>(p);
                       int pos = static_cast<int>(gtk_range_get_value(r) + 0.5);
                       if (pos != st.logic->TrackPosition()) st.logic->SetTrackPosition(pos);
                       Refresh(st);
                     }),
                     &s);
    g_signal_connect(ok, "clicked", G_CALLBACK(+[](GtkButton*, gpointer p) {
                       auto& st = *static_cast<ConfigState*>(p);
                       st.logic->Ok();
                       st.done = true;
                     }),
                     &s);
    g_signal_connect(cancel, "clicked", G_CALLBACK(+[](GtkButton*, gpointer p) {
                       auto& st = *static_cast<ConfigState*>(p);
                       st.logic->Cancel();
                       st.done = true;
                     }),
                     &s);
    g_signal_connect(s.dialog, "delete-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer p) -> gboolean {
                       auto& st = *static_cast<ConfigState*>(p);
                       st.logic->Cancel();
                       st.done = true;
                       return TRUE;
                     }),
                     &s);
    // Escape cancels, Return presses the default button, as in a dialog.
    g_signal_connect(s.dialog, "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* e, gpointer p) -> gboolean {
                       auto& st = *static_cast<ConfigState*>(p);
                       if (e->keyval == GDK_KEY_Escape) {
                         st.logic->Cancel();
                         st.done = true;
                         return TRUE;
                       }
                       return FALSE;
                     }),
                     &s);

    gtk_widget_show_all(s.dialog);
    gtk_widget_grab_default(ok);
    gtk_window_set_default(win, ok);
    gtk_widget_grab_focus(s.check);
    while (!s.done) gtk_main_iteration();
    gtk_widget_destroy(s.dialog);
    Drain();
    gtk_style_context_remove_provider_for_screen(screen, GTK_STYLE_PROVIDER(css));
    g_object_unref(css);
  }
};

}  // namespace

std::unique_ptr<IDialogs> CreateGtkDialogs() {
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return std::make_unique<GtkDialogs>();
}

}  // namespace quen::platform
