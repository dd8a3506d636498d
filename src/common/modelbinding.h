// The plug-in's binding to the model library that lies beside it: loaded on first use,
// asked first whether a function is supported, then called.
#pragma once

#include "modellib/oupm.h"
#include "platform/win32.h"

// String resource 2 of each plug-in: the model library's base name.
constexpr UINT IDS_MODEL_LIBRARY_NAME = 2;

bool LoadModelLibrary();
// 1 when the function is supported for the model and was called, else 0 (out untouched).
int CallModelFunction(DWORD dwFunction, WORD wModel, void* pIn, void* pOut);
HMODULE GetModelLibraryHandle();
