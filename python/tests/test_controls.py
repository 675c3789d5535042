"""Creating controls, their members, and the errors of bad values."""
import json
import pathlib

import numpy
import pytest

import kyv


def test_every_registered_class_has_a_typed_class_with_its_members():
    names = kyv.classes()
    assert "KyvVStatus.Kyvvstat" in names and "KyvMultiBars.KyvMultiBar" in names and len(names) == 8
    for name in names:
        cls = kyv.class_of(name)
        assert getattr(kyv, name.split(".")[-1]) is cls
        assert name in cls.__doc__
        for member in cls._info["members"]:
            assert callable(getattr(cls, member["name"])) == (member["kind"] == "method")


def test_extent_in_pixels_or_twips_and_the_class_default():
    assert kyv.create("KyvVStatus.Kyvvstat", 40, 200).extent == (600, 3000)
    assert kyv.create("KyvVStatus.Kyvvstat", 465, 3540, twips=True).size == (31, 236)
    assert kyv.Kyvvstat().extent == (465, 3540)
    control = kyv.Kyvvstat()
    control.resize(50, 300)
    assert control.size == (50, 300)


def test_an_extent_that_is_no_number_is_refused():
    for size in ((float("nan"), 300), (40, float("inf")), (1e300, 300)):
        with pytest.raises(kyv.InvalidPropertyValue, match="not a size"):
            kyv.Kyvvstat(*size)
        control = kyv.Kyvvstat(40, 200)
        with pytest.raises(kyv.InvalidPropertyValue, match="not a size"):
            control.resize(*size)
        assert control.size == (40, 200)


def test_unknown_class_names_the_class():
    with pytest.raises(kyv.CannotCreateObject) as caught:
        kyv.create("KyvVStatus.Nothing")
    assert "KyvVStatus.Nothing" in str(caught.value) and caught.value.number == 429


def test_a_registration_file_that_cannot_be_used_is_refused_and_the_registry_kept(tmp_path, monkeypatch):
    monkeypatch.setattr(kyv._registry, "_default", kyv.default_registry())
    kept = kyv.default_registry()
    corrupt = tmp_path / "corrupt.json"
    corrupt.write_text("{not json")
    for path, reason in ((tmp_path / "missing.json", "does not exist"), (corrupt, "corrupt"), (tmp_path, "read")):
        with pytest.raises(kyv.CannotCreateObject) as caught:
            kyv.use_registry(path)
        assert str(path) in str(caught.value) and reason in str(caught.value)
    for wrong in (None, 3):
        with pytest.raises(TypeError):
            kyv.use_registry(wrong)
    assert kyv.default_registry() is kept
    kyv.create("KyvVStatus.Kyvvstat")  # created through the kept registry
    again = kyv.use_registry(pathlib.Path(kept.registration_file))
    assert kyv.default_registry() is again and again.classes() == kept.classes()


def test_properties_read_and_write_in_any_case(bar):
    bar.maxlimit = 150
    assert bar.Maxlimit == 150 and bar.MAXLIMIT == 150
    bar.CaptionVisible = False
    assert bar.CaptionVisible is False
    bar.FillColor = 0x80000005
    assert bar.FillColor == 0x80000005
    bar.FillColor = numpy.int64(0x00FF00)
    assert bar.FillColor == 0x00FF00
    bar.Maxlimit = numpy.int16(90)
    assert bar.Maxlimit == 90


def test_a_misspelt_member_is_refused_not_stored(bar):
    with pytest.raises(kyv.NoSuchMember):
        bar.Maxlimitt = 3
    with pytest.raises(AttributeError):
        bar.nothing
    with pytest.raises(kyv.NoSuchMember):
        bar.incbar = 3
    with pytest.raises(kyv.NoSuchMember):
        bar.on("NoSuchEvent", print)


@pytest.mark.parametrize("value, error, builtin", [
    (32768, kyv.Overflow, OverflowError),  # just past the Integer range, where 16 bits would wrap
    (40000, kyv.Overflow, OverflowError),
    (65535, kyv.Overflow, OverflowError),
    (70000, kyv.Overflow, OverflowError),
    (-32769, kyv.Overflow, OverflowError),
    (-40000, kyv.Overflow, OverflowError),
    (2 ** 80, kyv.Overflow, OverflowError),
    (None, kyv.TypeMismatch, TypeError),
    ("many", kyv.TypeMismatch, TypeError),
    ([1], kyv.TypeMismatch, TypeError),
    (float("nan"), kyv.Overflow, OverflowError),
])
def test_bad_values_raise_the_error_of_their_kind_and_change_nothing(bar, value, error, builtin):
    with pytest.raises(error) as caught:
        bar.Maxlimit = value
    assert isinstance(caught.value, builtin) and isinstance(caught.value, kyv.Error)
    assert caught.value.member == "Maxlimit" and caught.value.kind == error.kind
    assert bar.Maxlimit == 200
    with pytest.raises(error) as caught:
        bar.incbar(value)
    assert caught.value.member == "incbar"


def test_a_type_mismatch_names_both_types_in_plain_english(bar):
    with pytest.raises(kyv.TypeMismatch) as caught:
        bar.incbar(None)
    assert "None is not an Integer" in str(caught.value)
    with pytest.raises(kyv.TypeMismatch) as caught:
        bar.Maxlimit = [1]
    assert "a list is not an Integer" in str(caught.value)
    with pytest.raises(kyv.TypeMismatch) as caught:
        bar.Maxlimit = object()
    assert "an object is not an Integer" in str(caught.value)


def test_a_method_error_keeps_what_was_done_and_names_the_method(bar):
    chart = kyv.KyvMovingBar()
    with pytest.raises(kyv.InvalidPropertyValue) as caught:
        chart.MoveBar(-5)
    assert caught.value.member == "MoveBar" and "MoveBar" in str(caught.value)
    bar.Maxlimit = 0
    with pytest.raises(kyv.DivisionByZero):
        bar.incbar(5)
    multibar = kyv.KyvMultiBar()
    with pytest.raises(kyv.SubscriptOutOfRange):
        multibar.Column(10)


def test_a_by_reference_argument_comes_back_through_ref():
    trace = kyv.HeartBeat()
    trace.MaxLimit = 100
    arg = kyv.Ref(30)
    trace.Plot(arg)
    assert arg.value == 70
    trace.Plot(30)  # a plain value works too


def test_bags_round_trip_as_pairs_json_and_dict(bar):
    bar.FillColor = 0x00123456
    bar.CaptionVisible = False
    pairs = bar.save_properties()
    assert ("FillColor", 0x00123456) in pairs and ("CaptionVisible", False) in pairs
    for bag in (pairs, bar.save_properties("json"), dict(pairs)):
        again = kyv.restore("KyvVStatus.Kyvvstat", bag)
        assert again.FillColor == 0x00123456 and again.CaptionVisible is False and again.Maxlimit == 200
    assert json.loads(kyv.bag_to_json(pairs)) == json.loads(bar.save_properties("json"))
    assert kyv.bag_from_json(bar.save_properties("json")) == pairs


def test_a_bad_bag_is_refused_with_the_step():
    with pytest.raises(kyv.InvalidPropertyValue):
        kyv.restore("KyvVStatus.Kyvvstat", "{not json")
    with pytest.raises(TypeError):
        kyv.restore("KyvVStatus.Kyvvstat", [("Maxlimit",)])
    with pytest.raises(kyv.Overflow) as caught:
        kyv.restore("KyvVStatus.Kyvvstat", [("Maxlimit", 99999)])
    assert caught.value.member == "ReadProperties"


def test_forms_round_trip(tmp_path):
    bar = kyv.Kyvvstat(40, 200)
    bar.Maxlimit = 300
    digits = kyv.fourseg()
    digits.DisplayColor = 0x0000FF
    path = tmp_path / "form.json"
    kyv.save_form({"load": bar, "count": digits}, path)
    form = kyv.load_form(path)
    assert list(form) == ["load", "count"]
    assert form["load"].Maxlimit == 300 and form["load"].size == (40, 200)
    assert form["count"].DisplayColor == 0x0000FF
    with pytest.raises(kyv.InvalidPropertyValue):
        kyv.load_form('{"controls": [{"name": "x"}]}')


def test_forms_refuse_empty_and_repeated_names(tmp_path):
    path = tmp_path / "form.json"
    kyv.save_form({"load": kyv.Kyvvstat()}, path)
    saved = path.read_text()
    for controls in ([("a", kyv.Kyvvstat()), ("a", kyv.fourseg())], [("Load", kyv.Kyvvstat()), ("load", kyv.fourseg())],
                     {"": kyv.Kyvvstat()}, [("a", kyv.Kyvvstat()), ("", kyv.fourseg())]):
        with pytest.raises(ValueError):
            kyv.save_form(controls, path)
        assert path.read_text() == saved and list(tmp_path.iterdir()) == [path]  # nothing written
    document = json.loads(saved)
    document["controls"].append(dict(document["controls"][0], name="LOAD"))
    with pytest.raises(kyv.InvalidPropertyValue):
        kyv.load_form(json.dumps(document))


def test_help_reads_like_the_reference_page():
    text = kyv.Kyvvstat.__doc__
    for part in ("KyvVStatus.Kyvvstat", "Default extent 465 x 3540 twips", "incbar", "MaxThreshReached",
                 "Stored properties"):
        assert part in text
    assert "reading" in kyv.Kyvvstat.incbar.__doc__


def test_a_closed_control_raises_instead_of_crashing(bar):
    bar.close()
    assert bar.closed
    for use in (lambda: bar.incbar(1), lambda: bar.Maxlimit, lambda: bar.to_png(), bar.save_properties):
        with pytest.raises(kyv.CannotCreateObject):
            use()
    bar.close()  # twice is fine


def test_methods_called_every_way_and_with_wrong_arguments(bar):
    feed = bar.incbar
    feed(160)
    kyv.Kyvvstat.incbar(bar, 170)
    assert kyv.Kyvvstat.incbar.__name__ == "incbar"
    for wrong in (lambda: bar.incbar(), lambda: bar.incbar(1, 2), lambda: bar.incbar(reading=3),
                  lambda: bar.incbar(3, value=3), lambda: bar.incbar(value=3, other=4),
                  lambda: kyv.Kyvvstat.incbar(object(), 3), lambda: kyv.Kyvvstat.incbar(kyv.fourseg(), 3)):
        with pytest.raises(TypeError):
            wrong()


def test_the_package_is_typed_with_stubs_of_every_class():
    import pathlib
    folder = pathlib.Path(kyv.__file__).parent
    assert (folder / "py.typed").exists()
    stubs = (folder / "__init__.pyi").read_text()
    compile(stubs, "__init__.pyi", "exec")
    assert "class Kyvvstat(Control):" in stubs and "    Maxlimit: _Property[int, int]\n" in stubs
    assert "    def incbar(self, value: int | Ref) -> Any: ..." in stubs
    for cls in {kyv.class_of(name) for name in kyv.classes()}:
        assert f"class {cls.__name__}(Control):" in stubs
