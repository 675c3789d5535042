"""Values and calls the Python way: colours, booleans, keywords, signatures, event handlers of
several shapes, properties that need a layout, and the small manners of a Python object."""
import importlib.metadata
import inspect
import pickle
import pydoc

import pytest

import kyv

RED = 0x000000FF  # stored as 0x00BBGGRR


def shown_colours(control):
    rgba = control.to_array()
    return {tuple(int(c) for c in pixel[:3]) for row in rgba for pixel in row}


def test_the_version_is_the_projects_in_the_package_and_its_metadata():
    assert kyv.__version__ == importlib.metadata.version("kyv")
    assert kyv.__version__.count(".") == 2


@pytest.mark.parametrize("spelling", ["#ff0000", "#FF0000", (255, 0, 0), [255, 0, 0], RED, kyv.Color("#ff0000"),
                                      kyv.Color.rgb(255, 0, 0)])
def test_a_colour_is_written_any_pythonic_way_and_read_as_kyv_color(bar, spelling):
    bar.FillColor = spelling
    colour = bar.FillColor
    assert isinstance(colour, kyv.Color) and isinstance(colour, int)
    assert colour == RED and colour.hex == "#ff0000" and (colour.red, colour.green, colour.blue) == (255, 0, 0)
    bar.incbar(100)
    assert (255, 0, 0) in shown_colours(bar)
    again = kyv.Kyvvstat(FillColor=spelling)
    assert again.FillColor == RED


def test_system_colours_stay_system_colours_and_show_their_palette_colour(bar):
    bar.BackColor = kyv.Color.system(15)
    assert bar.BackColor == 0x8000000F and bar.BackColor.is_system
    assert repr(bar.BackColor) == "kyv.Color.system(15)"
    assert bar.BackColor.hex == kyv.system_palette()[15].hex
    assert repr(kyv.Color("#102030")) == "kyv.Color('#102030')"
    assert kyv.Color(kyv.Color("#102030")) == kyv.Color((16, 32, 48)) == 0x00302010


@pytest.mark.parametrize("wrong, error", [
    ("#ff00", kyv.InvalidPropertyValue), ("red", kyv.InvalidPropertyValue), ((255, 0), kyv.InvalidPropertyValue),
    ((256, 0, 0), kyv.InvalidPropertyValue), ((1.5, 0, 0), kyv.TypeMismatch), (True, kyv.TypeMismatch),
    (1.5, kyv.TypeMismatch), (object(), kyv.TypeMismatch), (None, kyv.TypeMismatch),
])
def test_what_is_no_colour_is_refused_naming_the_property(bar, wrong, error):
    bar.FillColor = "#00ff00"
    with pytest.raises(error) as caught:
        bar.FillColor = wrong
    assert caught.value.member == "FillColor"
    assert bar.FillColor.hex == "#00ff00"


def test_true_and_false_mean_one_and_zero_for_numbers(bar):
    bar.Bar3D = True
    assert bar.Bar3D == 1
    bar.Bar3D = False
    assert bar.Bar3D == 0
    bar.CaptionVisible = False
    assert bar.CaptionVisible is False
    with pytest.raises(kyv.InvalidPropertyValue, match="Bar3D 2 is not 0 or 1") as caught:
        bar.Bar3D = 2
    assert caught.value.member == "Bar3D"


def test_properties_are_set_by_keyword_when_a_control_is_made():
    bar = kyv.Kyvvstat(Maxlimit=300, width=40, height=200, fillcolor="#00ff00")
    assert bar.Maxlimit == 300 and bar.size == (40, 200) and bar.FillColor.hex == "#00ff00"
    made = kyv.create("KyvPulse.HeartBeat", MaxLimit=50, GridVisible=False)
    assert made.MaxLimit == 50 and made.GridVisible is False
    for wrong in ({"Maxlimitt": 3}, {"incbar": 3}):
        with pytest.raises(TypeError, match="unexpected keyword argument"):
            kyv.Kyvvstat(**wrong)
    with pytest.raises(kyv.Overflow):
        kyv.Kyvvstat(Maxlimit=70000)


def test_methods_take_their_argument_by_keyword_and_have_signatures(bar):
    bar.incbar(value=190)
    assert bar.save_properties() == kyv.Kyvvstat(Maxlimit=200, MinThreshold=20, MaxThreshold=150).save_properties()
    ref = kyv.Ref(30)
    trace = kyv.HeartBeat(MaxLimit=100)
    trace.Plot(value=ref)
    assert ref.value == 70
    assert str(inspect.signature(bar.incbar)) == "(value: int)"
    assert str(inspect.signature(kyv.Kyvvstat.incbar)) == "(self, value: int)"
    assert "incbar(self, value: int)" in pydoc.render_doc(kyv.Kyvvstat.incbar, renderer=pydoc.plaintext)
    assert "incbar(self, value: int)" in pydoc.render_doc(kyv.Kyvvstat, renderer=pydoc.plaintext)


def test_a_handler_gets_the_control_and_the_events_name_as_it_asks(bar):
    heard = []
    bar.on("MaxThreshReached", lambda: heard.append("none"))
    bar.on("MaxThreshReached", lambda control: heard.append(control))
    bar.on("maxthreshreached", lambda control, event: heard.append((control, event)))
    bar.on("MaxThreshReached", lambda *args: heard.append(args))
    bar.incbar(190)
    assert heard == ["none", bar, (bar, "MaxThreshReached"), (bar, "MaxThreshReached")]


def test_a_handler_of_the_wrong_shape_is_refused_when_it_is_attached(bar):
    for wrong in (lambda a, b, c: None, lambda *, key: None):
        with pytest.raises(TypeError, match="event handler"):
            bar.on("MaxThreshReached", wrong)
    bar.incbar(190)  # nothing was attached: the feed raises nothing


def test_a_trace_takes_its_new_scale_and_count_before_it_is_fed_or_painted():
    trace = kyv.HeartBeat()
    trace.HorizCount = 20
    trace.MaxLimit = 100
    for point in range(21):
        trace.Plot(point * 5)  # past the old count of 11 points
    laid_out = kyv.HeartBeat()
    laid_out.HorizCount = 20
    laid_out.MaxLimit = 100
    laid_out.resize(*laid_out.size)
    for point in range(21):
        laid_out.Plot(point * 5)
    assert (trace.to_array() == laid_out.to_array()).all()
    # Written after the points: the picture is laid out anew before it is painted.
    trace.MaxLimit = 50
    laid_out.MaxLimit = 50
    laid_out.resize(*laid_out.size)
    assert (trace.to_array() == laid_out.to_array()).all()


def test_a_control_closes_at_the_end_of_a_with_block():
    with kyv.Kyvvstat(Maxlimit=100) as bar:
        bar.incbar(50)
    assert bar.closed


def test_a_closed_control_shows_a_short_text_in_a_notebook(bar):
    bar.close()
    assert bar._repr_png_() is None and repr(bar) == "<kyv.Kyvvstat (closed)>"


def test_a_scale_that_is_no_size_is_a_value_or_type_error(bar, tmp_path):
    for scale, error in ((0, ValueError), (0.0, ValueError), (-1, ValueError), (float("nan"), ValueError),
                         ("2", TypeError), (None, TypeError)):
        for paint in (lambda: bar.to_png(scale=scale), lambda: bar.to_array(scale=scale),
                      lambda: bar.save(tmp_path / "x.png", scale=scale)):
            with pytest.raises(error):
                paint()


def test_load_form_says_what_is_not_a_form(tmp_path):
    with pytest.raises(kyv.InvalidPropertyValue, match="not a form document"):
        kyv.load_form("not json")
    with pytest.raises(FileNotFoundError):
        kyv.load_form(tmp_path / "missing.json")


def test_no_silent_coercion_of_text_or_fractions(bar):
    for member, value in (("Maxlimit", 2.5), ("Maxlimit", "12"), ("CaptionVisible", "yes")):
        with pytest.raises(kyv.TypeMismatch) as caught:
            setattr(bar, member, value)
        assert caught.value.member == member
        with pytest.raises(kyv.TypeMismatch):
            bar.incbar(value)
    assert bar.Maxlimit == 200
    bar.Maxlimit = 250.0  # a whole number written as a float is that number
    assert bar.Maxlimit == 250


def test_pickling_says_how_controls_are_saved(bar):
    with pytest.raises(TypeError, match="save_properties"):
        pickle.dumps(bar)
    assert pickle.loads(pickle.dumps(kyv.Color("#123456"))) == kyv.Color("#123456")
