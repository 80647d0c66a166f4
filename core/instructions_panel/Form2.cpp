#include "instructions_panel/Form2.h"

#include "query_window/Form1.h"
#include "shell/WindowSystem.h"
#include "shell/Twips.h"

#include <QLabel>

using namespace Qt::Literals::StringLiterals;

namespace {

// The organiser's telephone number is fictional.
const QString InstructionsText = u"软件使用说明：\r\n"
                                 u"1、本软件只能查询2018年翠县一中西校区公开招聘教师笔试成绩。\r\n"
                                 u"2、查询时，必须输入准考证号和身份证号，二者缺一不可。\r\n"
                                 u"3、身份证号如有字母，请输入大写字母。\r\n"
                                 u"在查询过程中，如有疑问请致电0557-5550123。"_s;

} // namespace

Form2::Form2()
{
    setObjectName(u"Form2"_s);
    // Qt::Tool keeps the panel out of the taskbar where the platform honours the window type; X11 window managers
    // are told explicitly in showEvent.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(u"软件使用说明"_s);
    resize(shell::sizeFromTwips(4680, 5190));

    Label1 = new QLabel(InstructionsText, this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setGeometry(shell::rectFromTwips(360, 480, 3975, 4575));
    Label1->setFont(shell::pointFont(u"宋体"_s, 14.25));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setAutoFillBackground(true);
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
    hide();
    shell::setOuterHeight(Form2::instance(), shell::outerHeight(Form1::instance()));
    shell::setOuterWidth(Form2::instance(), shell::outerWidth(Form1::instance()) / 2.0f);
    const float width = shell::outerWidth(Form1::instance());
    shell::setOuterLeft(Form2::instance(), width + shell::outerLeft(Form1::instance()));
    shell::setOuterTop(Form2::instance(), shell::outerTop(Form1::instance()));
}

void Form2::showEvent(QShowEvent* event)
{
    // Sent before the window is mapped, which is when a window manager reads the state.
    shell::windowsystem::setSkipTaskbar(*this);
    QWidget::showEvent(event);
}
