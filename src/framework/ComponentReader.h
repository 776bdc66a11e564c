// Creating components from binary form resources: a form, frame or data module class reads the
// form resource named after it (its class name in upper case) from the resource module that now
// serves its module, ancestors' resources first, creating children by class name and setting
// published properties, collections and string lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Components.h"
#include "ResourceSource.h"

namespace fw {

FW_DECLARE_EXCEPTION(EResNotFound, Exception);

// A class defined at run time below parent (a form class that adds only its form resource);
// registered for creation by name. Returns the existing class when one of that name exists and
// derives from parent.
const TClassInfo& DefineComponentClass(std::string_view name, const TClassInfo& parent);

// Reads the form resources of root's class and its ancestors below the class that has none
// (TForm, TFrame, TDataModule and above), the farthest ancestor first. Returns whether any was
// found. A damaged resource raises EReadError naming the resource.
bool InitInheritedComponent(TComponent* root);

// Creates an instance of cls owned by owner; forms, frames and data modules read their form
// resources. A form class other than TForm without any resource raises EResNotFound.
TComponent* CreateComponent(const TClassInfo& cls, TComponent* owner);
TComponent* CreateComponent(std::string_view className, TComponent* owner);

// Reads one binary form ("TPF0") into root: its properties and its children.
void ReadComponentResource(TComponent* root, const std::vector<uint8_t>& data, std::string_view resourceName);

// How 8-bit and wide texts of a form stream meet properties of the other kind (the framework's
// text conversions, SetTextConverters).
void SetFormTextConverters(TAnsiToWide toWide, TWideToAnsi toAnsi);

}  // namespace fw
