#include "frame/message_box.h"

#include <windows.h>

#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"
#include "texts/installer_texts.h"

namespace {

// ShowMessage with text written in textCodePage.
int32_t ShowMessageIn(const AnsiText& text, UINT textCodePage, const AnsiText& caption,
                      uint32_t style) {
  WideText wideText = ToWide(text, textCodePage);
  WideText wideCaption = ToWide(caption);
  Sleep(5);
  return MessageBoxW(nullptr, wideText.units, wideCaption.units, style);
}

}  // namespace

int32_t ShowMessage(const AnsiText& text, const AnsiText& caption, uint32_t style) {
  return ShowMessageIn(text, CP_ACP, caption, style);
}

void ShowUnableMessage(const char* action, const AnsiText& path, uint32_t pathCodePage) {
  AnsiText message = TextFrom("Unable to ");
  AppendText(&message, action);
  AppendText(&message, " \"");
  AppendText(&message, path);
  AppendText(&message, "\" !");
  // The rest of the message is ASCII, the same in every code page.
  ShowMessageIn(message, pathCodePage, TextFrom(kSetupCaption), MB_OK);
}
