// What a form shows and where: the controls of a program's form resources with their boxes,
// fonts and the room each translatable text has, the way the framework lays them out at 96
// pixels per inch (class default sizes, alignment, ParentFont up to the form, the form's
// PixelsPerInch when Scaled, inline frames filled from their own resources). The fit check
// measures against it; exchange formats can carry the same width and font per item.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "localizer/catalog/measure/TextMeasure.h"

namespace resources {
class TResProcessor;
}

namespace catalog {

enum class TControlKind {
    Other,
    Button,    // push buttons: the text between the 3-D edges
    CheckBox,  // check boxes and radio buttons: the text right of the box
    RadioButton,
    Label,        // labels and static texts
    GroupBox,     // group boxes and radio groups: the caption in the top edge
    Panel,        // the caption centred between the bevels
    TabPage,      // a page's caption on its tab: the tabs share the control's width
    StatusPanel,  // a panel of a status bar
    ListColumn,   // a list-view column's header
    MenuBarItem,  // an item of the menu bar: the items share the form's width
    MenuItem,     // an item of a drop-down menu (menus grow: no bound)
};
const char* ControlKindName(TControlKind k);

struct TBox {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    bool Intersects(const TBox& o) const {
        return Left < o.Right() && o.Left < Right() && Top < o.Bottom() && o.Top < Bottom();
    }
};

// One translatable text of a form with what the fit check measures it against.
struct TItemLayout {
    std::string Path;      // the dictionary's path: "Form.Component.Caption"
    std::string Property;  // "Caption", "Text", ...
    std::string ClassName;
    TControlKind Kind = TControlKind::Other;
    int Box = -1;           // the control's box in its form's Boxes
    int AreaWidth = 0;      // pixels the text may take on one line; 0: not bounded
    int AreaHeight = 0;     // pixels of height (word-wrapped texts)
    bool AutoSize = false;  // a label that grows with its text
    bool WordWrap = false;
    bool ShowAccel = true;  // "&" marks an accelerator (not drawn)
    measure::TFontDesc Font;
    std::string AccelScope;  // controls of one parent or items of one menu level; "" for none
};

// A control's box on its form (client coordinates), for drawing and for overlaps.
struct TControlBox {
    std::string Key;  // the component's dictionary key ("" for the form)
    std::string ClassName;
    TBox Box;
    int Parent = -1;  // index of the parent's box
    std::u16string Text;
};

struct TFormLayout {
    std::string Name;  // the dictionary's form name
    std::string ClassName;
    int ClientWidth = 0, ClientHeight = 0;
    std::vector<TControlBox> Boxes;  // Boxes[0] is the form's client area
    std::vector<TItemLayout> Items;
};

// The pixels a text has on one line when its control's width is fixed: buttons, check boxes,
// labels that neither grow nor wrap, group boxes, panels, status panels, columns (0 when the
// control is narrower than its margins). -1 where the room is shared (tabs, the menu bar),
// grows (menus, growing labels) or is a height (word-wrapping labels).
int FixedWidth(const TItemLayout& item);

// The layouts of every form resource of the program; 8-bit texts are read in the code page of
// langId. Forms that cannot be read are left out with a note.
std::vector<TFormLayout> ReadFormLayouts(const resources::TResProcessor& program, uint16_t langId,
                                         std::vector<std::string>& notes);

// The text as drawn: "&&" shows "&", a single "&" marks the next character and is not drawn.
std::u16string DrawnText(const std::u16string& text, bool showAccel = true);

}  // namespace catalog
