// Start-up report on standard output and the operating-system text.
#pragma once

void PrintSystemInfo();
const char* GetSystemString();
float GetGLUTVersion();
float GetGLUIVersion();
