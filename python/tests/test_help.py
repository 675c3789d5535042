"""Every member's help line says what the member is: the class tables (which help(), the stubs,
the Qt widgets and kyvhost's `members` show) and the reference pages in docs/reference carry
the lines below, as the project documents each member."""
import pathlib
import re

import kyv

REFERENCE = pathlib.Path(__file__).resolve().parents[2] / "docs" / "reference"

# Both status bars, and the four- and six-digit displays, have the same members.
STATUS_BAR = {
    "BorderStyle": "Border of the bar holder: 0 none, 1 sunken.",
    "Bar3D": "Border of the three band segments: 0 flat, 1 sunken.",
    "CaptionVisible": "Shows or hides the box with the reading; its place stays reserved.",
    "CaptionBorder": "Border of the box with the reading: 0 none, 1 sunken.",
    "BackColor": "Colour of the empty bar and of the box with the reading.",
    "FillColor": "Colour of the bar in the normal band.",
    "maxthreshcolor": "Colour of the bar for a reading above MaxThreshold.",
    "MinThreshold": "Readings up to and including this value are low.",
    "MaxThreshold": "Readings above this value are high.",
    "Maxlimit": "The reading that fills the bar.",
    "minthreshcolor": "Colour of the bar for a reading at or below MinThreshold.",
    "incbar": "Shows a reading in the colour of its band and raises the band's event.",
}
DIGIT_ROW = {
    "BorderStyle": "Border of the frame around the digits: 0 none, 1 sunken.",
    "BackColor": "Background colour of the digits and of the frame.",
    "DisplayColor": "Colour of the segments of every digit.",
    "maxlimit": "A stored number; it does not change what the display shows.",
    "send": "Shows a whole number right-aligned with leading zeros; a longer one changes nothing.",
}

HELP = {
    "Kyv1Digit.sseg": {
        "BorderStyle": "Border of the digit's frame: 0 none, 1 sunken.",
        "BackColor": "Colour of the digit's face behind the segments.",
        "DisplayColor": "Colour of the lit segments.",
        "maxlimit": "A stored number; it does not change what the digit shows.",
        "send": "Shows the digit 0 to 9; any other value leaves the digit as it is.",
    },
    "Kyv4Digit.fourseg": DIGIT_ROW,
    "Kyv6Digit.sixseg": DIGIT_ROW,
    "KyvHStatus.Hstat": STATUS_BAR,
    "KyvMovingBars.KyvMovingBar": {
        "MoveBar": "Adds a value as the newest bar and raises MaxLimitReached or NormalOPs.",
        "value": "A stored number; it draws nothing (MoveBar feeds the graph).",
        "MaxLimit": "The value of a bar as high as the chart, and of the top grid label.",
        "showgrid": "Shows or hides the grid lines.",
        "showLabel": "Shows or hides the grid labels.",
        "BackColor": "Colour of the bars (their fill).",
        "BorderStyle": "Border of the chart frame: 0 none, 1 fixed single.",
        "FillColor": "Colour of the background behind the bars.",
    },
    "KyvMultiBars.KyvMultiBar": {
        "BackColor": "Colour of the surface and of the lines that cut the bars into segments.",
        "BorderStyle": "Border of the surface: 0 none, 1 sunken.",
        "BarColor": "Colour of the lit segments of every bar.",
        "Columns": "Number of bars shown, from bar 0: 0 to 10.",
        "MaxLimit": "The value that fills a bar's whole height, above 0.",
        "Column": "Selects the bar, 0 to 9, that the next Value sets.",
        "Value": "Sets the height of the selected bar and lays the bars out.",
    },
    "KyvPulse.HeartBeat": {
        "HorizCount": "Steps across the width: the trace holds HorizCount + 1 points.",
        "MaxLimit": "The value drawn at the top edge of the plot area; not a count of tics.",
        "Plot": "Adds one point to the trace; Value comes back as MaxLimit minus Value.",
        "BackColor": "Colour of the plot area's background; a write clears the drawn trace.",
        "BorderStyle": "Border of the plot area: 0 none, 1 fixed single.",
        "LineColor": "Colour of the trace drawn from now on.",
        "GridVisible": "Shows or hides the dotted grid.",
        "GridColor": "Colour of the dotted grid lines.",
    },
    "KyvVStatus.Kyvvstat": STATUS_BAR,
}


def page_help(short_name):
    """{member: help} from the member table of the class's reference page."""
    text = (REFERENCE / f"{short_name}.md").read_text()
    rows = re.findall(r"^\| \d+ \| `([^`]+)` \| (?:property|method) \|[^|]*\|[^|]*\|[^|]*\| (.*) \|$", text, re.M)
    return dict(rows)


def test_every_class_is_documented():
    assert sorted(HELP) == kyv.classes()


def test_every_members_help_says_what_it_is_in_the_class_table_and_the_reference_page():
    for class_name, expected in HELP.items():
        cls = kyv.class_of(class_name)
        table = {m["name"]: m["help"] for m in cls._info["members"]}
        assert table == expected, class_name
        assert page_help(cls.__name__) == expected, f"docs/reference/{cls.__name__}.md"


def test_no_two_members_of_a_class_share_a_help_line():
    for class_name, expected in HELP.items():
        lines = list(expected.values())
        assert len(set(lines)) == len(lines), class_name
