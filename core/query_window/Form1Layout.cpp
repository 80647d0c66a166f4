// The query window as it is made, before its load step runs.

#include "core/query_window/Form1.h"

namespace {

using namespace shell;
using enum ControlKind;

constexpr Font Songti18{u"宋体", 18.0f, RegularWeight, Gb2312Charset};
constexpr Font Heiti1875Bold{u"黑体", 18.75f, BoldWeight, Gb2312Charset};
constexpr Font Heiti18Bold{u"黑体", 18.0f, BoldWeight, Gb2312Charset};
constexpr Font Songti12{u"宋体", 12.0f, RegularWeight, Gb2312Charset};
constexpr Font Songti1425{u"宋体", 14.25f, RegularWeight, Gb2312Charset};
constexpr Font* WindowFont = nullptr;
constexpr Colour* Standard = nullptr;

// Never seen: the load step empties the boxes before the window is first shown.
constexpr std::u16string_view Placeholder = u"000000000000000000";

// clang-format off
constexpr ControlLayout Table[] = {
    // name        array kind        caption                                       left   top width height  font            colour    tab timer labelled by
    {"Label5",    -1, Label,      u"2018年翠县一中西校区公开招聘教师笔试成绩",  {600,   360, 8295,  495}, &Heiti1875Bold, &Red,      11, 0, NoControl},
    {"Label1",    -1, Label,      u"身份证号：",                                {1560, 1320, 1815,  495}, WindowFont,     Standard,   4, 0, NoControl},
    {"Text1",      0, TextBox,    Placeholder,                                  {3480, 1320, 3615,  495}, WindowFont,     Standard,   0, 0, Form1::Label1Row},
    {"Label6",    -1, Label,      u"*",                                         {7200, 1320,  735,  375}, &Heiti18Bold,   &Red,      12, 0, NoControl},
    {"Command4",  -1, PushButton, u"软件使用说明",                              {8760, 1560,  375, 1575}, &Songti12,      Standard,  15, 0, NoControl},
    {"Label2",    -1, Label,      u"准考证号：",                                {1560, 1920, 1815,  495}, WindowFont,     Standard,   5, 0, NoControl},
    {"Text1",      1, TextBox,    Placeholder,                                  {3480, 1920, 3615,  495}, WindowFont,     Standard,   1, 0, Form1::Label2Row},
    {"Label7",    -1, Label,      u"*",                                         {7200, 1920,  735,  375}, &Heiti18Bold,   &Red,      13, 0, NoControl},
    {"Label3",    -1, Label,      u"姓    名：",                                {1560, 2520, 1815,  495}, WindowFont,     Standard,   6, 0, NoControl},
    {"Text1",      2, TextBox,    Placeholder,                                  {3480, 2520, 3615,  495}, WindowFont,     Standard,   2, 0, Form1::Label3Row},
    {"Command3",  -1, PushButton, u"确    定",                                  {2760, 2880, 3255,  615}, WindowFont,     Standard,  10, 0, NoControl},
    {"Label4",    -1, Label,      u"成    绩：",                                {1560, 3120, 1815,  495}, WindowFont,     Standard,   7, 0, NoControl},
    {"Text1",      3, TextBox,    Placeholder,                                  {3480, 3120, 3615,  495}, WindowFont,     Standard,   3, 0, Form1::Label4Row},
    {"Command1",  -1, PushButton, u"继续查询",                                  {1680, 3960, 2295,  615}, WindowFont,     Standard,   8, 0, NoControl},
    {"Command2",  -1, PushButton, u"退    出",                                  {5040, 3960, 2295,  615}, WindowFont,     Standard,   9, 0, NoControl},
    {"Label8",    -1, Label,      u"翠县人社局办公室制",                        {6360, 4680, 2655,  375}, &Songti1425,    Standard,  14, 0, NoControl},
    {"Timer1",    -1, Timer,      u"",                                          {0,       0,    0,    0}, WindowFont,     Standard,  -1, 50, NoControl},
};
// clang-format on

static_assert(std::size(Table) == Form1::ControlCount, "one row per control, in the order of Form1::Controls");

} // namespace

const shell::FormLayout Form1::Layout{
    .name = "Form1",
    .title = u"2018年翠县一中西校区公开招聘教师笔试成绩查询软件",
    .border = shell::Border::FixedSingle,
    .showInTaskbar = true,
    .hasProgramIcon = true,
    .clientWidth = 9090,
    .clientHeight = 5025,
    .font = Songti18,
    .controls = Table,
};
