#include "app/TranslatorRun.h"

#include <QApplication>

#include "app/Settings.h"
#include "app/UpdateForm.h"
#include "core/Infotext.h"

int RunTranslator(int argc, char** argv) {
  QApplication app(argc, argv);
  QGuiApplication::setApplicationDisplayName("Update");
  // The translator works on the language of Update.ini; without the file
  // (a translator need not have a delivery) on German.
  UpdateSettings settings;
  if (ReadUpdateIni("Update.ini", settings) != 0) settings.language = 0;

  // The window is shown, not started: no port is searched.
  TUpdateForm form;
  SetDialogSink(&form);
  form.SetMenuChecked("Deutsch", settings.language == 0);
  form.SetMenuChecked("Englisch", settings.language == 1);
  form.TranslateWindow(InfoText(InfoLanguageFile, settings.language));
  form.show();
  form.UpdateSprachDialog.Show(&form);
  return 0;
}
