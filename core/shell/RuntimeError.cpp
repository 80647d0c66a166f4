#include "core/shell/RuntimeError.h"

RuntimeError::RuntimeError(int number, std::u16string description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what("run-time error " + std::to_string(number))
{
}

RuntimeError RuntimeError::overflow()
{
    return {Overflow, u"溢出"};
}

RuntimeError RuntimeError::subscriptOutOfRange()
{
    return {SubscriptOutOfRange, u"下标越界"};
}

RuntimeError RuntimeError::divisionByZero()
{
    return {DivisionByZero, u"除数为零"};
}

RuntimeError RuntimeError::toolkitFailure(std::u16string_view what)
{
    return {InvalidCall, u"无效的过程调用或参数（" + std::u16string(what) + u"）"};
}

RuntimeError RuntimeError::invalidFloatingPoint(std::u16string_view what)
{
    return {Overflow, u"浮点运算溢出或无效（" + std::u16string(what) + u"）"};
}

RuntimeError RuntimeError::invalidFileFormat(std::u16string_view what)
{
    return {InvalidFileFormat, u"无效的文件格式（" + std::u16string(what) + u"）"};
}

std::u16string RuntimeError::reportText() const
{
    std::u16string number;
    for (char c : std::to_string(m_number))
        number += char16_t(c);
    return u"运行时错误 '" + number + u"'：\n\n" + m_description;
}
