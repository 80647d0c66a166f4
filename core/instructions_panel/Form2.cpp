#include "core/instructions_panel/Form2.h"

#include "core/query_window/Form1.h"

namespace {

using namespace shell;

constexpr Font Songti1425{u"宋体", 14.25f, RegularWeight, Gb2312Charset};

// The organiser's telephone number is fictional.
constexpr std::u16string_view InstructionsText = u"软件使用说明：\r\n"
                                                 u"1、本软件只能查询2018年翠县一中西校区公开招聘教师笔试成绩。\r\n"
                                                 u"2、查询时，必须输入准考证号和身份证号，二者缺一不可。\r\n"
                                                 u"3、身份证号如有字母，请输入大写字母。\r\n"
                                                 u"在查询过程中，如有疑问请致电0557-5550123。";

constexpr ControlLayout Table[] = {
    {"Label1", -1, ControlKind::Label, InstructionsText, {360, 480, 3975, 4575}, &Songti1425, nullptr, 0, 0, NoControl},
};

static_assert(std::size(Table) == Form2::ControlCount);

} // namespace

const shell::FormLayout Form2::Layout{
    .name = "Form2",
    .title = u"软件使用说明",
    .border = shell::Border::None,
    .showInTaskbar = false,
    .hasProgramIcon = false,
    .clientWidth = 4680,
    .clientHeight = 5190,
    .font = Songti1425,
    .controls = Table,
};

Form2::Form2()
    : shell::Window(Id)
{
}

Form2& Form2::instance()
{
    return holder().get();
}

shell::FormInstance<Form2>& Form2::holder()
{
    static shell::FormInstance<Form2> form;
    return form;
}

void Form2::Form_Load()
{
    Form2::instance().Hide();
    Form2::instance().setHeight(Form1::instance().Height());
    Form2::instance().setWidth(Form1::instance().Width() / 2.0f);
    const float width = Form1::instance().Width();
    Form2::instance().setLeft(width + Form1::instance().Left());
    Form2::instance().setTop(Form1::instance().Top());
}
