#pragma once

#include <QString>
#include <exception>

// The program's run-time error: the one kind of failure that ends the program through the fatal-error report.
// Event procedures never catch it; shell::runEventProcedure (Program.h) does, at the toolkit boundary.
class RuntimeError : public std::exception {
public:
    // Error numbers as the report shows them.
    enum Number : int {
        InvalidCall = 5,
        Overflow = 6,
        SubscriptOutOfRange = 9,
        DivisionByZero = 11,
    };

    RuntimeError(int number, QString description);

    static RuntimeError overflow();
    static RuntimeError subscriptOutOfRange();
    static RuntimeError divisionByZero();
    // A toolkit call that reported failure; `what` names the call for the report.
    static RuntimeError toolkitFailure(const QString& what);
    // A floating-point result that is not a finite single-precision number.
    static RuntimeError invalidFloatingPoint(const QString& what);

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_utf8;
};
