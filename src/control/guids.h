#pragma once
// The identities of the module's type library, interfaces and classes. The
// IDL in src/resources/ declares the same numbers; the module tests hold the
// two together.
#include <windows.h>

namespace zt {

// ZTFILEUPLOADLib 1.0
inline constexpr GUID LIBID_ZTFILEUPLOADLib = {0x7A6CB235, 0xB1EC, 0x4892, {0x80, 0xA6, 0x05, 0x88, 0x65, 0xEE, 0x06, 0x37}};
inline constexpr WORD kTypeLibMajor = 1;
inline constexpr WORD kTypeLibMinor = 0;
// _DZTFileUpload
inline constexpr GUID DIID__DZTFileUpload = {0x11055124, 0x8984, 0x46F0, {0xBA, 0x44, 0x16, 0x7B, 0x6E, 0x26, 0xEF, 0x59}};
// _DZTFileUploadEvents
inline constexpr GUID DIID__DZTFileUploadEvents = {0x7FD63FB0, 0xDE6B, 0x4617, {0xB3, 0xC5, 0x36, 0x74, 0xEE, 0xE5, 0x80, 0x04}};
// ZTFileUpload (the control)
inline constexpr GUID CLSID_ZTFileUpload = {0x641FC981, 0x5EE3, 0x4800, {0x8C, 0x3C, 0x68, 0x92, 0x0A, 0xA6, 0xAC, 0x4D}};
// ZTFileUploadPropPage
inline constexpr GUID CLSID_ZTFileUploadPropPage = {0xE535A598, 0x31D4, 0x4D4F, {0xBC, 0x08, 0x35, 0x20, 0xD6, 0x93, 0x19, 0x80}};

inline constexpr wchar_t kControlProgId[] = L"ZTFILEUPLOAD.ZTFileUploadCtrl.1";
inline constexpr wchar_t kPropPageProgId[] = L"ZTFILEUPLOAD.ZTFileUploadPropPage.1";

}  // namespace zt
