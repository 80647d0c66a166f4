#pragma once

#include <exception>
#include <string>
#include <string_view>

// The program's run-time error: the one kind of failure that ends the program through the fatal-error report.
// Event procedures never catch it; shell::runEventProcedure (Program.h) does, where the front end hands an event in.
class RuntimeError : public std::exception {
public:
    // Error numbers as the report shows them.
    enum Number : int {
        InvalidCall = 5,
        Overflow = 6,
        SubscriptOutOfRange = 9,
        DivisionByZero = 11,
        InvalidFileFormat = 321,
    };

    RuntimeError(int number, std::u16string description);

    static RuntimeError overflow();
    static RuntimeError subscriptOutOfRange();
    static RuntimeError divisionByZero();
    // A front-end call that reported failure; `what` names the call for the report.
    static RuntimeError toolkitFailure(std::u16string_view what);
    // A floating-point result that is not a finite single-precision number.
    static RuntimeError invalidFloatingPoint(std::u16string_view what);
    // Data built into the program that is not as it was made: `what` names it.
    static RuntimeError invalidFileFormat(std::u16string_view what);

    int number() const noexcept { return m_number; }
    const std::u16string& description() const noexcept { return m_description; }
    // The report's text: number and description, as the fatal-error report shows them.
    std::u16string reportText() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    int m_number;
    std::u16string m_description;
    std::string m_what;
};
