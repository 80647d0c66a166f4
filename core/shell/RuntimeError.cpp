#include "shell/RuntimeError.h"

using namespace Qt::Literals::StringLiterals;

RuntimeError::RuntimeError(int number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_utf8(m_description.toUtf8())
{
}

RuntimeError RuntimeError::overflow()
{
    return {Overflow, u"溢出"_s};
}

RuntimeError RuntimeError::subscriptOutOfRange()
{
    return {SubscriptOutOfRange, u"下标越界"_s};
}

RuntimeError RuntimeError::divisionByZero()
{
    return {DivisionByZero, u"除数为零"_s};
}

RuntimeError RuntimeError::toolkitFailure(const QString& what)
{
    return {InvalidCall, u"无效的过程调用或参数（%1）"_s.arg(what)};
}

RuntimeError RuntimeError::invalidFloatingPoint(const QString& what)
{
    return {Overflow, u"浮点运算溢出或无效（%1）"_s.arg(what)};
}
