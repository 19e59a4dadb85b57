#pragma once
// Reads a screen project's "screen.xml" through the XML object model into the screen model:
// which elements are visited, which attributes are taken, and what a missing value gives.

#include <cstdint>
#include <string>

#include "screen/Types_Velm.h"
#include "xml/reader/XpObjModel.h"

namespace velmora {

// Empties ScreenMenus, then reads the file into it. A file that cannot be read or parsed leaves
// ScreenMenus empty and its reason in aObjModel.Errors(); an integer attribute that is not an
// integer throws EConvertError and leaves ScreenMenus empty.
void LoadScreen(TXpObjModel& aObjModel, const std::string& path, TMenu_Geral& ScreenMenus);

// Parses the file and installs the menus it describes into ScreenMenus when it completes.
void ReadScreenMenus(TXpObjModel& aObjModel, const std::string& path, TMenu_Geral& ScreenMenus);

// The attribute's value as UTF-8; empty when the element has no such attribute.
std::string AttrText(const TXpNode* element, WideView name);
// The attribute's value as a 32-bit integer; 0 when missing or empty. Throws EConvertError
// "'%s' is not a valid integer value" for any other text that is not an integer.
int32_t AttrInt(const TXpNode* element, WideView name);

}  // namespace velmora
