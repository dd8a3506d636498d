// The host driver's public DEVMODE (the 220-byte DEVMODEW of the printer variant) and the
// OEMDMPARAM block of the OEM plug-in interfaces' DevMode method. Little-endian, laid out as
// on Windows; the offsets are guarded on every build, 64-bit included.
#pragma once

#include <cstddef>

#include "platform/types.h"

constexpr DWORD CCHDEVICENAME = 32;
constexpr DWORD CCHFORMNAME = 32;

// dmFields bits the plug-ins use.
constexpr DWORD DM_ORIENTATION = 0x00000001;
constexpr DWORD DM_PAPERSIZE = 0x00000002;
constexpr DWORD DM_PAPERLENGTH = 0x00000004;
constexpr DWORD DM_PAPERWIDTH = 0x00000008;
constexpr DWORD DM_SCALE = 0x00000010;
constexpr DWORD DM_COPIES = 0x00000100;
constexpr DWORD DM_DEFAULTSOURCE = 0x00000200;
constexpr DWORD DM_PRINTQUALITY = 0x00000400;
constexpr DWORD DM_COLOR = 0x00000800;
constexpr DWORD DM_DUPLEX = 0x00001000;
constexpr DWORD DM_YRESOLUTION = 0x00002000;
constexpr DWORD DM_TTOPTION = 0x00004000;
constexpr DWORD DM_COLLATE = 0x00008000;
constexpr DWORD DM_FORMNAME = 0x00010000;

constexpr SHORT DMORIENT_PORTRAIT = 1;
constexpr SHORT DMORIENT_LANDSCAPE = 2;
constexpr SHORT DMPAPER_LETTER = 1;
constexpr SHORT DMPAPER_LEGAL = 5;
constexpr SHORT DMPAPER_A4 = 9;
constexpr SHORT DMCOLOR_MONOCHROME = 1;
constexpr SHORT DMCOLOR_COLOR = 2;
constexpr SHORT DMCOLLATE_FALSE = 0;
constexpr SHORT DMCOLLATE_TRUE = 1;

// The public DEVMODE (printer fields of the union). dmSize is 220; the driver-extra area of
// dmDriverExtra bytes follows it directly.
struct DEVMODEW {
    WCHAR dmDeviceName[CCHDEVICENAME];  //   0
    WORD dmSpecVersion;                 //  64
    WORD dmDriverVersion;               //  66
    WORD dmSize;                        //  68
    WORD dmDriverExtra;                 //  70
    DWORD dmFields;                     //  72
    SHORT dmOrientation;                //  76
    SHORT dmPaperSize;                  //  78
    SHORT dmPaperLength;                //  80  tenths of a millimetre
    SHORT dmPaperWidth;                 //  82  tenths of a millimetre
    SHORT dmScale;                      //  84
    SHORT dmCopies;                     //  86
    SHORT dmDefaultSource;              //  88
    SHORT dmPrintQuality;               //  90
    SHORT dmColor;                      //  92
    SHORT dmDuplex;                     //  94
    SHORT dmYResolution;                //  96
    SHORT dmTTOption;                   //  98
    SHORT dmCollate;                    // 100
    WCHAR dmFormName[CCHFORMNAME];      // 102
    WORD dmLogPixels;                   // 166
    DWORD dmBitsPerPel;                 // 168
    DWORD dmPelsWidth;                  // 172
    DWORD dmPelsHeight;                 // 176
    DWORD dmNup;                        // 180  (dmDisplayFlags)
    DWORD dmDisplayFrequency;           // 184
    DWORD dmICMMethod;                  // 188
    DWORD dmICMIntent;                  // 192
    DWORD dmMediaType;                  // 196
    DWORD dmDitherType;                 // 200
    DWORD dmReserved1;                  // 204
    DWORD dmReserved2;                  // 208
    DWORD dmPanningWidth;               // 212
    DWORD dmPanningHeight;              // 216
};
using PDEVMODEW = DEVMODEW*;
using DEVMODE = DEVMODEW;
using PDEVMODE = DEVMODEW*;

constexpr WORD DEVMODE_PUBLIC_SIZE = 220;
constexpr WORD DM_SPECVERSION = 0x0401;

static_assert(sizeof(DEVMODEW) == 220, "the public DEVMODE is 220 bytes");
static_assert(offsetof(DEVMODEW, dmSpecVersion) == 64);
static_assert(offsetof(DEVMODEW, dmDriverVersion) == 66);
static_assert(offsetof(DEVMODEW, dmSize) == 68);
static_assert(offsetof(DEVMODEW, dmDriverExtra) == 70);
static_assert(offsetof(DEVMODEW, dmFields) == 72);
static_assert(offsetof(DEVMODEW, dmOrientation) == 76);
static_assert(offsetof(DEVMODEW, dmPaperSize) == 78);
static_assert(offsetof(DEVMODEW, dmPaperLength) == 80);
static_assert(offsetof(DEVMODEW, dmPaperWidth) == 82);
static_assert(offsetof(DEVMODEW, dmScale) == 84);
static_assert(offsetof(DEVMODEW, dmCopies) == 86);
static_assert(offsetof(DEVMODEW, dmDefaultSource) == 88);
static_assert(offsetof(DEVMODEW, dmPrintQuality) == 90);
static_assert(offsetof(DEVMODEW, dmColor) == 92);
static_assert(offsetof(DEVMODEW, dmDuplex) == 94);
static_assert(offsetof(DEVMODEW, dmYResolution) == 96);
static_assert(offsetof(DEVMODEW, dmTTOption) == 98);
static_assert(offsetof(DEVMODEW, dmCollate) == 100);
static_assert(offsetof(DEVMODEW, dmFormName) == 102);
static_assert(offsetof(DEVMODEW, dmLogPixels) == 166);
static_assert(offsetof(DEVMODEW, dmBitsPerPel) == 168);
static_assert(offsetof(DEVMODEW, dmPelsWidth) == 172);
static_assert(offsetof(DEVMODEW, dmPelsHeight) == 176);
static_assert(offsetof(DEVMODEW, dmNup) == 180);
static_assert(offsetof(DEVMODEW, dmDisplayFrequency) == 184);
static_assert(offsetof(DEVMODEW, dmICMMethod) == 188);
static_assert(offsetof(DEVMODEW, dmICMIntent) == 192);
static_assert(offsetof(DEVMODEW, dmMediaType) == 196);
static_assert(offsetof(DEVMODEW, dmDitherType) == 200);
static_assert(offsetof(DEVMODEW, dmReserved1) == 204);
static_assert(offsetof(DEVMODEW, dmReserved2) == 208);
static_assert(offsetof(DEVMODEW, dmPanningWidth) == 212);
static_assert(offsetof(DEVMODEW, dmPanningHeight) == 216);

// DevMode request modes of the OEM plug-in interfaces.
constexpr DWORD OEMDM_SIZE = 1;
constexpr DWORD OEMDM_DEFAULT = 2;
constexpr DWORD OEMDM_CONVERT = 3;
constexpr DWORD OEMDM_MERGE = 4;

// The block the host hands to IPrintOemUI/IPrintOemPS DevMode. The host's own memory; its
// layout follows the platform's pointer size, as on Windows.
struct OEMDMPARAM {
    DWORD cbSize;            // sizeof(OEMDMPARAM)
    PVOID pdriverobj;
    HANDLE hPrinter;
    HANDLE hModule;
    PDEVMODEW pPublicDMIn;
    PDEVMODEW pPublicDMOut;
    PVOID pOEMDMIn;          // the plug-in's record inside pPublicDMIn's driver-extra area
    PVOID pOEMDMOut;         // the plug-in's record inside pPublicDMOut's driver-extra area
    DWORD cbBufSize;         // size of pOEMDMOut; answer of the size request
};
using POEMDMPARAM = OEMDMPARAM*;
