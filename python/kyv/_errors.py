"""The exceptions Kyv raises: kyv.Error and one subclass per kind of error.

Each subclass also derives from the built-in exception that means the same, so code that
catches OverflowError, TypeError, ValueError, IndexError, ZeroDivisionError or
AttributeError catches Kyv's too.
"""


class Error(Exception):
    """An error a Kyv control or the framework raised.

    Attributes: ``kind`` ("overflow", "type-mismatch", ...), ``number`` (the kind's
    classic error number, 6 for overflow), ``member`` (the member or step that failed:
    "incbar", "Maxlimit", "Create", "Paint", ...) and ``message``.
    """

    number = 0
    kind = "error"

    def __init__(self, message, kind=None, number=None, member=""):
        super().__init__(message)
        self.message = message
        if kind is not None:
            self.kind = kind
        if number is not None:
            self.number = number
        self.member = member

    def __str__(self):
        return f"{self.member}: {self.message}" if self.member else self.message

    def __reduce__(self):
        return (type(self), (self.message, self.kind, self.number, self.member))


class Overflow(Error, OverflowError):
    """A number outside the range of the member's type (error 6)."""
    number, kind = 6, "overflow"


class SubscriptOutOfRange(Error, IndexError):
    """An index outside what the control holds (error 9)."""
    number, kind = 9, "subscript-out-of-range"


class DivisionByZero(Error, ZeroDivisionError):
    """A division by zero, such as a reading with a zero limit (error 11)."""
    number, kind = 11, "division-by-zero"


class TypeMismatch(Error, TypeError):
    """A value of the wrong type, None included (error 13)."""
    number, kind = 13, "type-mismatch"


class InvalidPropertyValue(Error, ValueError):
    """A value the member refuses, a bad document, a picture beyond the limits (error 380)."""
    number, kind = 380, "invalid-property-value"


class CannotCreateObject(Error):
    """A class that cannot be created, or a control that has been closed (error 429)."""
    number, kind = 429, "cannot-create-object"


class NoSuchMember(Error, AttributeError):
    """A property, method or event the control does not have (error 438)."""
    number, kind = 438, "no-such-member"


ERROR_CLASSES = {cls.number: cls for cls in (Overflow, SubscriptOutOfRange, DivisionByZero, TypeMismatch,
                                              InvalidPropertyValue, CannotCreateObject, NoSuchMember)}
