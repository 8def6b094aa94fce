// The two interfaces of the shell automation object "WScript.Shell" that the
// desktop shortcut uses, as function tables in the layout of the Windows
// Script Host object model (the compiler's system headers do not declare
// them): the IUnknown and IDispatch entries, then each interface's own
// functions in their declared order. Calls go through the tables (early
// bound), never through IDispatch::Invoke.
#pragma once

#include <windows.h>
#include <oaidl.h>

// The shell object's member is named like the kernel function that windows.h
// maps to its A or W form; the system's function is not used here.
#undef ExpandEnvironmentStrings

// {F935DC21-1CF0-11D0-ADB9-00C04FD58A0B}
inline constexpr IID kWshShellInterfaceId = {
    0xF935DC21, 0x1CF0, 0x11D0, {0xAD, 0xB9, 0x00, 0xC0, 0x4F, 0xD5, 0x8A, 0x0B}};
// {F935DC23-1CF0-11D0-ADB9-00C04FD58A0B}
inline constexpr IID kWshShortcutInterfaceId = {
    0xF935DC23, 0x1CF0, 0x11D0, {0xAD, 0xB9, 0x00, 0xC0, 0x4F, 0xD5, 0x8A, 0x0B}};

struct IWshShell;
struct IWshShortcut;

struct IWshShellFunctions {
  // IUnknown
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IWshShell* self, REFIID id, void** object);
  ULONG(STDMETHODCALLTYPE* AddRef)(IWshShell* self);
  ULONG(STDMETHODCALLTYPE* Release)(IWshShell* self);
  // IDispatch
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IWshShell* self, UINT* count);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)
  (IWshShell* self, UINT index, LCID locale, ITypeInfo** info);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (IWshShell* self, REFIID id, LPOLESTR* names, UINT count, LCID locale, DISPID* dispatchIds);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (IWshShell* self, DISPID member, REFIID id, LCID locale, WORD flags, DISPPARAMS* parameters,
   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);
  // IWshShell
  HRESULT(STDMETHODCALLTYPE* get_SpecialFolders)(IWshShell* self, IDispatch** folders);
  HRESULT(STDMETHODCALLTYPE* get_Environment)
  (IWshShell* self, VARIANT* type, IDispatch** environment);
  HRESULT(STDMETHODCALLTYPE* Run)
  (IWshShell* self, BSTR command, VARIANT* windowStyle, VARIANT* waitOnReturn, int* exitCode);
  HRESULT(STDMETHODCALLTYPE* Popup)
  (IWshShell* self, BSTR text, VARIANT* secondsToWait, VARIANT* title, VARIANT* type, int* button);
  HRESULT(STDMETHODCALLTYPE* CreateShortcut)(IWshShell* self, BSTR pathLink, IDispatch** shortcut);
  HRESULT(STDMETHODCALLTYPE* ExpandEnvironmentStrings)
  (IWshShell* self, BSTR source, BSTR* expanded);
  HRESULT(STDMETHODCALLTYPE* RegRead)(IWshShell* self, BSTR name, VARIANT* value);
  HRESULT(STDMETHODCALLTYPE* RegWrite)(IWshShell* self, BSTR name, VARIANT* value, VARIANT* type);
  HRESULT(STDMETHODCALLTYPE* RegDelete)(IWshShell* self, BSTR name);
};

struct IWshShell {
  const IWshShellFunctions* functions;
};

struct IWshShortcutFunctions {
  // IUnknown
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IWshShortcut* self, REFIID id, void** object);
  ULONG(STDMETHODCALLTYPE* AddRef)(IWshShortcut* self);
  ULONG(STDMETHODCALLTYPE* Release)(IWshShortcut* self);
  // IDispatch
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IWshShortcut* self, UINT* count);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)
  (IWshShortcut* self, UINT index, LCID locale, ITypeInfo** info);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (IWshShortcut* self, REFIID id, LPOLESTR* names, UINT count, LCID locale, DISPID* dispatchIds);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (IWshShortcut* self, DISPID member, REFIID id, LCID locale, WORD flags, DISPPARAMS* parameters,
   VARIANT* result, EXCEPINFO* exception, UINT* argumentError);
  // IWshShortcut
  HRESULT(STDMETHODCALLTYPE* get_FullName)(IWshShortcut* self, BSTR* name);
  HRESULT(STDMETHODCALLTYPE* get_Arguments)(IWshShortcut* self, BSTR* arguments);
  HRESULT(STDMETHODCALLTYPE* put_Arguments)(IWshShortcut* self, BSTR arguments);
  HRESULT(STDMETHODCALLTYPE* get_Description)(IWshShortcut* self, BSTR* description);
  HRESULT(STDMETHODCALLTYPE* put_Description)(IWshShortcut* self, BSTR description);
  HRESULT(STDMETHODCALLTYPE* get_Hotkey)(IWshShortcut* self, BSTR* hotkey);
  HRESULT(STDMETHODCALLTYPE* put_Hotkey)(IWshShortcut* self, BSTR hotkey);
  HRESULT(STDMETHODCALLTYPE* get_IconLocation)(IWshShortcut* self, BSTR* iconPath);
  HRESULT(STDMETHODCALLTYPE* put_IconLocation)(IWshShortcut* self, BSTR iconPath);
  HRESULT(STDMETHODCALLTYPE* put_RelativePath)(IWshShortcut* self, BSTR path);
  HRESULT(STDMETHODCALLTYPE* get_TargetPath)(IWshShortcut* self, BSTR* path);
  HRESULT(STDMETHODCALLTYPE* put_TargetPath)(IWshShortcut* self, BSTR path);
  HRESULT(STDMETHODCALLTYPE* get_WindowStyle)(IWshShortcut* self, int* showCommand);
  HRESULT(STDMETHODCALLTYPE* put_WindowStyle)(IWshShortcut* self, int showCommand);
  HRESULT(STDMETHODCALLTYPE* get_WorkingDirectory)(IWshShortcut* self, BSTR* folder);
  HRESULT(STDMETHODCALLTYPE* put_WorkingDirectory)(IWshShortcut* self, BSTR folder);
  HRESULT(STDMETHODCALLTYPE* Load)(IWshShortcut* self, BSTR pathLink);
  HRESULT(STDMETHODCALLTYPE* Save)(IWshShortcut* self);
};

struct IWshShortcut {
  const IWshShortcutFunctions* functions;
};
