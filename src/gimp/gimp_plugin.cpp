// SPDX-FileCopyrightText: The Quillane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// quillane-gimp: the six effects as GIMP 2.10 filters. This file alone speaks GIMP's API:
// registering the procedures, reading their parameters, the dialog, the layer's pixels in and
// out and the progress bar. The painting itself is gimp_filter.cpp's.

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <string>
#include <vector>

#include "gimp/gimp_filter.h"

namespace {

constexpr char kBinary[] = "quillane-gimp";

// The parameters every procedure takes, then those of the mosaic alone.
const GimpParamDef kCommonParameters[] = {
    {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
     const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }")},
    {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
    {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Layer to paint")},
    {GIMP_PDB_INT32, const_cast<gchar*>("seed"),
     const_cast<gchar*>("Seed of the random generator, 0 to 2147483647; -1 for a new one every "
                        "run")},
};
const GimpParamDef kMosaicParameters[] = {
    {GIMP_PDB_INT32, const_cast<gchar*>("tiles-across"), const_cast<gchar*>("Tiles across")},
    {GIMP_PDB_INT32, const_cast<gchar*>("tiles-down"),
     const_cast<gchar*>("Tiles down (when auto-rows is FALSE)")},
    {GIMP_PDB_INT32, const_cast<gchar*>("auto-rows"),
     const_cast<gchar*>("Choose the rows so that the tiles are about 4:3 (TRUE, FALSE)")},
    {GIMP_PDB_INT32, const_cast<gchar*>("use-library"),
     const_cast<gchar*>("Use the picture library (TRUE, FALSE)")},
    {GIMP_PDB_STRING, const_cast<gchar*>("library-folder"),
     const_cast<gchar*>("Folder of the picture library; empty for the stock one")},
    {GIMP_PDB_STRING, const_cast<gchar*>("picture-list"),
     const_cast<gchar*>("Pictures and AVI videos for the tiles, one file a line")},
    {GIMP_PDB_INT32, const_cast<gchar*>("max-uses"),
     const_cast<gchar*>("Most tiles one picture fills; 0 for no limit")},
    {GIMP_PDB_INT32, const_cast<gchar*>("min-distance"),
     const_cast<gchar*>("Least distance in tiles between two tiles of one picture; 0 for none")},
};
constexpr int kCommonCount = G_N_ELEMENTS(kCommonParameters);
constexpr int kMosaicCount = G_N_ELEMENTS(kMosaicParameters);

void Query() {
  std::vector<GimpParamDef> parameters(kCommonParameters, kCommonParameters + kCommonCount);
  const std::vector<GimpParamDef> mosaic = [&parameters] {
    std::vector<GimpParamDef> all = parameters;
    all.insert(all.end(), kMosaicParameters, kMosaicParameters + kMosaicCount);
    return all;
  }();
  for (const EffectEntry& effect : kEffectTable) {
    const std::vector<GimpParamDef>& taken = effect.kind == PictureMosaic ? mosaic : parameters;
    const std::string name = ProcedureName(effect);
    const std::string blurb = std::string("Paint the layer as Quillane's ") + effect.title;
    const std::string label = std::string(effect.title) + "...";
    gimp_install_procedure(name.c_str(), blurb.c_str(), effect.help, "The Quillane developers",
                           "The Quillane developers", "2024", label.c_str(), "RGB*, GRAY*",
                           GIMP_PLUGIN, static_cast<int>(taken.size()), 0, taken.data(), nullptr);
    gimp_plugin_menu_register(name.c_str(), kFilterMenu);
  }
}

// ---- the dialog ------------------------------------------------------------------------------

GtkWidget* AddRow(GtkWidget* table, int row, const char* label, GtkWidget* widget) {
  if (label != nullptr) {
    GtkWidget* text = gtk_label_new_with_mnemonic(label);
    gtk_misc_set_alignment(GTK_MISC(text), 0.0, 0.5);
    gtk_label_set_mnemonic_widget(GTK_LABEL(text), widget);
    gtk_table_attach(GTK_TABLE(table), text, 0, 1, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
  }
  gtk_table_attach(GTK_TABLE(table), widget, label != nullptr ? 1 : 0, 2, row, row + 1,
                   static_cast<GtkAttachOptions>(GTK_EXPAND | GTK_FILL), GTK_FILL, 0, 0);
  return widget;
}

GtkWidget* SpinButton(double value, double lowest, double highest) {
  GtkWidget* spin = gtk_spin_button_new_with_range(lowest, highest, 1.0);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), value);
  return spin;
}

int SpinValue(GtkWidget* spin) {
  return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spin));
}

bool Checked(GtkWidget* button) {
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(button)) != FALSE;
}

void AddPictures(GtkWidget* button, gpointer textView) {
  GtkWidget* chooser = gtk_file_chooser_dialog_new(
      "Add Pictures", GTK_WINDOW(gtk_widget_get_toplevel(button)), GTK_FILE_CHOOSER_ACTION_OPEN,
      "_Cancel", GTK_RESPONSE_CANCEL, "_Add", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), TRUE);
  if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    GtkTextBuffer* text = gtk_text_view_get_buffer(GTK_TEXT_VIEW(textView));
    GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(chooser));
    for (GSList* file = files; file != nullptr; file = file->next) {
      GtkTextIter end;
      gtk_text_buffer_get_end_iter(text, &end);
      const std::string line = std::string(static_cast<const char*>(file->data)) + "\n";
      gtk_text_buffer_insert(text, &end, line.c_str(), -1);
    }
    g_slist_free_full(files, g_free);
  }
  gtk_widget_destroy(chooser);
}

void FollowToggle(GtkWidget* toggle, gpointer widget) {
  gtk_widget_set_sensitive(GTK_WIDGET(widget), !Checked(toggle));
}

// Shows the dialog over `values`; false when the user cancelled.
bool ShowDialog(const EffectEntry& effect, FilterValues* values) {
  gimp_ui_init(kBinary, FALSE);
  const std::string name = ProcedureName(effect);
  const std::string title = std::string("Quillane: ") + effect.title;
  GtkWidget* dialog = gimp_dialog_new(title.c_str(), kBinary, nullptr, GtkDialogFlags(0),
                                      gimp_standard_help_func, name.c_str(), "_Cancel",
                                      GTK_RESPONSE_CANCEL, "_OK", GTK_RESPONSE_OK, nullptr);
  const bool mosaic = effect.kind == PictureMosaic;
  GtkWidget* table = gtk_table_new(mosaic ? 11 : 2, 2, FALSE);
  gtk_table_set_row_spacings(GTK_TABLE(table), 6);
  gtk_table_set_col_spacings(GTK_TABLE(table), 6);
  gtk_container_set_border_width(GTK_CONTAINER(table), 12);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), table, TRUE, TRUE,
                     0);

  GtkWidget* random = AddRow(table, 0, nullptr, gtk_check_button_new_with_mnemonic("_Random seed"));
  GtkWidget* seed = AddRow(table, 1, "_Seed:", SpinButton(values->seed, 0, 4294967295.0));
  g_signal_connect(random, "toggled", G_CALLBACK(FollowToggle), seed);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(random), values->randomSeed);
  gtk_widget_set_sensitive(seed, !values->randomSeed);

  GtkWidget *across = nullptr, *autoRows = nullptr, *down = nullptr, *useLibrary = nullptr,
            *folder = nullptr, *list = nullptr, *maxUses = nullptr, *minDistance = nullptr;
  if (mosaic) {
    across = AddRow(table, 2, "Tiles _across:", SpinButton(values->tilesAcross, 1, 10000));
    autoRows = AddRow(table, 3, nullptr, gtk_check_button_new_with_mnemonic("A_uto rows"));
    down = AddRow(table, 4, "Tiles _down:", SpinButton(values->tilesDown, 1, 10000));
    g_signal_connect(autoRows, "toggled", G_CALLBACK(FollowToggle), down);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(autoRows), values->autoRows);
    gtk_widget_set_sensitive(down, !values->autoRows);
    useLibrary =
        AddRow(table, 5, nullptr, gtk_check_button_new_with_mnemonic("Use the picture _library"));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(useLibrary), values->useLibrary);
    folder = AddRow(table, 6, "Library _folder:", gtk_entry_new());
    gtk_entry_set_text(GTK_ENTRY(folder), values->libraryFolder.c_str());
    gtk_widget_set_tooltip_text(folder, "Empty for the picture library that comes with Quillane");

    list = gtk_text_view_new();
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(list)),
                             JoinPictureList(values->pictureList).c_str(), -1);
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_widget_set_size_request(scrolled, 360, 100);
    gtk_container_add(GTK_CONTAINER(scrolled), list);
    AddRow(table, 7, "_Picture list:", scrolled);
    GtkWidget* add = AddRow(table, 8, nullptr, gtk_button_new_with_mnemonic("Add _Pictures..."));
    g_signal_connect(add, "clicked", G_CALLBACK(AddPictures), list);
    maxUses = AddRow(table, 9, "_Max uses (0: no limit):", SpinButton(values->maxUses, 0, 1e9));
    minDistance =
        AddRow(table, 10, "Min dis_tance (0: none):", SpinButton(values->minDistance, 0, 1e9));
  }
  gtk_widget_show_all(dialog);
  const bool confirmed = gimp_dialog_run(GIMP_DIALOG(dialog)) == GTK_RESPONSE_OK;
  if (confirmed) {
    values->randomSeed = Checked(random);
    values->seed = static_cast<uint32_t>(gtk_spin_button_get_value(GTK_SPIN_BUTTON(seed)));
    if (mosaic) {
      values->tilesAcross = SpinValue(across);
      values->autoRows = Checked(autoRows);
      values->tilesDown = SpinValue(down);
      values->useLibrary = Checked(useLibrary);
      values->libraryFolder = gtk_entry_get_text(GTK_ENTRY(folder));
      GtkTextBuffer* text = gtk_text_view_get_buffer(GTK_TEXT_VIEW(list));
      GtkTextIter start, end;
      gtk_text_buffer_get_bounds(text, &start, &end);
      gchar* pictures = gtk_text_buffer_get_text(text, &start, &end, FALSE);
      values->pictureList = SplitPictureList(pictures);
      g_free(pictures);
      values->maxUses = SpinValue(maxUses);
      values->minDistance = SpinValue(minDistance);
    }
  }
  gtk_widget_destroy(dialog);
  return confirmed;
}

// ---- running a procedure ---------------------------------------------------------------------

FilterValues LastValues(const std::string& name) {
  const gint size = gimp_get_data_size(name.c_str());
  if (size <= 0) return FilterValues();
  std::string saved(static_cast<size_t>(size), '\0');
  gimp_get_data(name.c_str(), saved.data());
  return LoadFilterValues(saved);
}

// The values a script passed; false when it passed too few.
bool ScriptValues(const EffectEntry& effect, gint count, const GimpParam* parameters,
                  FilterValues* values) {
  const bool mosaic = effect.kind == PictureMosaic;
  if (count < kCommonCount + (mosaic ? kMosaicCount : 0)) return false;
  const gint32 seed = parameters[3].data.d_int32;
  values->randomSeed = seed < 0;
  values->seed = seed < 0 ? 0 : static_cast<uint32_t>(seed);
  if (mosaic) {
    const GimpParam* p = parameters + kCommonCount;
    values->tilesAcross = p[0].data.d_int32;
    values->tilesDown = p[1].data.d_int32;
    values->autoRows = p[2].data.d_int32 != 0;
    values->useLibrary = p[3].data.d_int32 != 0;
    values->libraryFolder = p[4].data.d_string != nullptr ? p[4].data.d_string : "";
    values->pictureList = SplitPictureList(p[5].data.d_string != nullptr ? p[5].data.d_string : "");
    values->maxUses = p[6].data.d_int32;
    values->minDistance = p[7].data.d_int32;
  }
  return true;
}

const Babl* FormatOf(int channels) {
  static const char* const kFormats[] = {"Y' u8", "Y'A u8", "R'G'B' u8", "R'G'B'A u8"};
  return babl_format(kFormats[channels - 1]);
}

GimpPDBStatusType Paint(const EffectEntry& effect, const FilterValues& values, gint32 drawable,
                        std::string* message) {
  LayerPixels layer;
  layer.width = gimp_drawable_width(drawable);
  layer.height = gimp_drawable_height(drawable);
  layer.channels =
      (gimp_drawable_is_rgb(drawable) ? 3 : 1) + (gimp_drawable_has_alpha(drawable) ? 1 : 0);
  if (!WithinProgramLimits(layer.width, layer.height)) {
    *message = "The layer is too large for Quillane.";
    return GIMP_PDB_EXECUTION_ERROR;
  }
  layer.bytes.resize(static_cast<size_t>(layer.width) * layer.height * layer.channels);
  const GeglRectangle whole = {0, 0, layer.width, layer.height};
  GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
  gegl_buffer_get(buffer, &whole, 1.0, FormatOf(layer.channels), layer.bytes.data(),
                  GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
  g_object_unref(buffer);

  gimp_progress_init((std::string("Quillane: ") + effect.title).c_str());
  FilterWindow window([](double done) { gimp_progress_update(done); }, StopAtFromEnvironment());
  const FilterOutcome outcome = RunFilter(effect, values, &layer, window);
  if (outcome.code != kPaintFinished) {
    *message = outcome.message;
    return outcome.code == kPaintStopped ? GIMP_PDB_CANCEL : GIMP_PDB_EXECUTION_ERROR;
  }
  // Through the shadow buffer the change is one undo step and keeps to the selection.
  GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
  gegl_buffer_set(shadow, &whole, 0, FormatOf(layer.channels), layer.bytes.data(),
                  GEGL_AUTO_ROWSTRIDE);
  g_object_unref(shadow);
  gimp_drawable_merge_shadow(drawable, TRUE);
  gimp_drawable_update(drawable, 0, 0, layer.width, layer.height);
  gimp_progress_update(1.0);
  return GIMP_PDB_SUCCESS;
}

void Run(const gchar* name, gint count, const GimpParam* parameters, gint* returnCount,
         GimpParam** returned) {
  static GimpParam values[2];
  static std::string message;
  *returnCount = 1;
  *returned = values;
  values[0].type = GIMP_PDB_STATUS;
  values[0].data.d_status = GIMP_PDB_CALLING_ERROR;

  const EffectEntry* effect = EffectOfProcedure(name);
  if (effect == nullptr || count < kCommonCount) return;
  gegl_init(nullptr, nullptr);
  const GimpRunMode mode = static_cast<GimpRunMode>(parameters[0].data.d_int32);
  const gint32 drawable = parameters[2].data.d_drawable;

  FilterValues chosen = LastValues(name);
  GimpPDBStatusType status = GIMP_PDB_SUCCESS;
  if (mode == GIMP_RUN_INTERACTIVE) {
    if (!ShowDialog(*effect, &chosen)) status = GIMP_PDB_CANCEL;
  } else if (mode == GIMP_RUN_NONINTERACTIVE) {
    if (!ScriptValues(*effect, count, parameters, &chosen)) status = GIMP_PDB_CALLING_ERROR;
  }
  if (status == GIMP_PDB_SUCCESS) {
    message.clear();
    status = Paint(*effect, chosen, drawable, &message);
    if (status == GIMP_PDB_SUCCESS && mode == GIMP_RUN_INTERACTIVE) {
      const std::string saved = SaveFilterValues(chosen);
      gimp_set_data(name, saved.data(), saved.size());
    }
    if (mode != GIMP_RUN_NONINTERACTIVE) gimp_displays_flush();
    if (status == GIMP_PDB_EXECUTION_ERROR && !message.empty()) {
      if (mode == GIMP_RUN_INTERACTIVE) gimp_message(message.c_str());
      *returnCount = 2;
      values[1].type = GIMP_PDB_STRING;
      values[1].data.d_string = const_cast<gchar*>(message.c_str());
    }
  }
  values[0].data.d_status = status;
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, Run};

MAIN()
