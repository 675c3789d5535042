# A widget plugin of PyQt6.uic (loaded with exec by uic, which supplies MODULE): the typed Kyv
# widgets of a .ui file, named kyvqt::KyvvstatWidget or KyvvstatWidget, come from kyv.qt.
pluginType = MODULE  # noqa: F821


def moduleInformation():
    return "kyv.qt", ("kyvqt", "KyvvstatWidget", "HstatWidget", "SsegWidget", "FoursegWidget", "SixsegWidget",
                      "KyvMovingBarWidget", "HeartBeatWidget", "KyvMultiBarWidget")
