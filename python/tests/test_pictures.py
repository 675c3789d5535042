"""Pictures: PNG bytes, files, arrays, damage and painting into a kept picture."""
import os
import pathlib
import subprocess
import sys
import textwrap
import threading
import time

import numpy
import pytest

import kyv


def test_png_svg_pdf(bar, tmp_path):
    assert bar.to_png().startswith(b"\x89PNG\r\n\x1a\n")
    assert bar._repr_png_()[:4] == b"\x89PNG"
    for name, head in (("x.png", b"\x89PNG"), ("x.svg", b"<?xml"), ("x.pdf", b"%PDF")):
        bar.save(tmp_path / name)
        assert (tmp_path / name).read_bytes().startswith(head)
    with pytest.raises(kyv.InvalidPropertyValue):
        bar.save(tmp_path / "x.bmp")
    with pytest.raises(kyv.InvalidPropertyValue):
        bar.save(tmp_path / "missing-folder" / "x.png")
    with pytest.raises(kyv.InvalidPropertyValue):
        bar.to_png(scale=1000)


def test_arrays_show_the_colours_set_in_both_layouts(bar):
    bar.FillColor = 0x000000FF  # 0x00BBGGRR: red
    bar.incbar(100)
    rgba = bar.to_array()
    assert rgba.shape == (236, 31, 4) and rgba.dtype == numpy.uint8
    column = rgba[:, 15]
    assert any((pixel == [255, 0, 0, 255]).all() for pixel in column)
    bgra = bar.to_array(order="BGRA")
    assert (bgra[..., [2, 1, 0, 3]] == rgba).all()
    assert bar.to_array(scale=2).shape == (472, 62, 4)
    with pytest.raises(ValueError):
        bar.to_array(order="ARGB")


def test_damage_then_painting_only_it_gives_the_full_picture(bar):
    kept = bar.to_array(order="BGRA")
    assert bar.damage() == []
    bar.incbar(150)
    damage = bar.damage()
    assert damage and all(0 <= x0 < x1 <= 31 and 0 <= y0 < y1 <= 236 for x0, y0, x1, y1 in damage)
    painted = bar.paint(kept, only_damage=True)
    assert painted == damage
    assert (kept == bar.to_array(order="BGRA")).all()
    with pytest.raises(TypeError):
        bar.paint(kept.astype(numpy.int32))


def test_a_thread_feeds_while_another_paints():
    bar = kyv.Kyvvstat()
    bar.Maxlimit = 1000
    errors = []
    stop = threading.Event()

    def feed():
        try:
            for i in range(20000):
                bar.incbar(i % 1000)
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)
        finally:
            stop.set()

    def paint():
        try:
            while not stop.is_set():
                assert bar.to_array().shape == (236, 31, 4)
                bar.to_png()
        except Exception as e:  # pragma: no cover
            errors.append(e)

    threads = [threading.Thread(target=feed), threading.Thread(target=paint), threading.Thread(target=paint)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
    bar.incbar(999)
    assert (bar.to_array() == kyv.restore("KyvVStatus.Kyvvstat", bar.save_properties()).to_array()).any()


def test_threads_making_the_first_arrays_at_once_do_not_hang():
    # In a new interpreter that has not imported NumPy, so that the threads reach the
    # set-up of NumPy's support together; a hang fails the test at the timeout.
    script = textwrap.dedent("""
        import threading
        import kyv
        controls = [kyv.Kyvvstat(), kyv.Kyvvstat(), kyv.fourseg()]
        made = []
        threads = [threading.Thread(target=lambda c=c: made.append(c.to_array())) for c in controls]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        print(len(made))
    """)
    package_dir = str(pathlib.Path(kyv.__file__).resolve().parents[1])
    env = dict(os.environ, PYTHONPATH=package_dir)
    try:
        done = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True, timeout=60)
    except subprocess.TimeoutExpired:
        done = None
    assert done is not None, "the threads' first to_array() calls hung"
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "3"


def counting_pace(during):
    """Steps a second that another thread, needing only the GIL, makes while `during` runs."""
    counter = [0]
    done = threading.Event()

    def count():
        while not done.is_set():
            counter[0] += 1

    t = threading.Thread(target=count)
    t.start()
    try:
        before, start = counter[0], time.perf_counter()
        during()
        return (counter[0] - before) / (time.perf_counter() - start)
    finally:
        done.set()
        t.join()


@pytest.mark.parametrize("paint", ["to_array", "to_png"])
def test_painting_releases_the_gil(paint):
    big = kyv.Kyvvstat(400, 3000)
    draw = getattr(big, paint)
    draw(scale=3)  # what the first paint sets up is not measured

    def paints():
        end = time.perf_counter() + 0.2
        while time.perf_counter() < end:
            draw(scale=3)

    # Against its pace while this thread sleeps, holding nothing: with the GIL released a
    # paint leaves the other thread most of its pace (about 0.6 of it); held, the other
    # thread moves only between paints, for a switch interval each (made short here, so
    # that even a short paint shows it: then under 0.1). The best of three rounds is taken,
    # as a busy machine may slow either measure.
    interval = sys.getswitchinterval()
    sys.setswitchinterval(0.0005)
    try:
        ratios = [counting_pace(paints) / counting_pace(lambda: time.sleep(0.2)) for _ in range(3)]
    finally:
        sys.setswitchinterval(interval)
    assert max(ratios) > 0.25, ratios
