#include "frame/message_box.h"

#include <windows.h>

#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"
#include "texts/installer_texts.h"

int32_t ShowMessage(const AnsiText& text, const AnsiText& caption, uint32_t style) {
  WideText wideText = ToWide(text);
  WideText wideCaption = ToWide(caption);
  Sleep(5);
  return MessageBoxW(nullptr, wideText.units, wideCaption.units, style);
}

void ShowUnableMessage(const char* action, const AnsiText& path) {
  AnsiText message = TextFrom("Unable to ");
  AppendText(&message, action);
  AppendText(&message, " \"");
  AppendText(&message, path);
  AppendText(&message, "\" !");
  ShowMessage(message, TextFrom(kSetupCaption), MB_OK);
}
