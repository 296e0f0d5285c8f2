// Windows-1252, the single-byte code page of every text file and record.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Decodes Windows-1252 bytes. The five bytes that the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of that value.
QString AnsiToText(std::string_view bytes);

// Encodes to Windows-1252; characters the code page lacks become '?'.
std::string TextToAnsi(const QString& text);
