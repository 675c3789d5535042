# A widget plugin of PyQt6.uic (loaded with exec by uic, which supplies MODULE): the typed Kyv
# widgets of a .ui file, named kyvqt::NAME or NAME as kyv.qt names them, come from kyv.qt.
pluginType = MODULE  # noqa: F821


def moduleInformation():
    from kyv.qt import _widgets
    return "kyv.qt", ("kyvqt",) + _widgets.WIDGETS
