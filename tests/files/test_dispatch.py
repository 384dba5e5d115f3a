"""Choosing formats and compression: by name, by content, by code; data
streams written in chunks; the errors of each wrong choice."""
import gzip

import pytest

import velto
from taskdata import assert_same, ok, random_task, snapshot

Err = velto.ResponseCode
Fmt = velto.DataFormat
Z = velto.CompressionType


class Sink:
    def __init__(self):
        self.chunks = []

    def write(self, view):
        self.chunks.append(bytes(view))

    @property
    def data(self):
        return b"".join(self.chunks)


@pytest.mark.parametrize("compress, suffix", [(Z.NONE, ".task"), (Z.GZIP, ".task.gz"), (Z.ZSTD, ".task.zst")])
def test_streams_hold_what_files_hold(tmp_path, compress, suffix):
    t = random_task(3, m=40, n=3000)
    sink = Sink()
    assert t.writedatastream(Fmt.TASK, compress, sink) == 0
    assert len(sink.chunks) > 1 and all(0 < len(c) <= 65536 for c in sink.chunks)
    path = tmp_path / ("s" + suffix)
    path.write_bytes(sink.data)
    u = velto.Task(None)
    ok(u.readdataformat_sii_4(str(path), Fmt.TASK, compress))
    assert_same(snapshot(t), snapshot(u))
    if compress == Z.GZIP:
        ok(t.writetask_s_2(str(tmp_path / "plain.task")))
        assert gzip.decompress(sink.data) == (tmp_path / "plain.task").read_bytes()


def test_the_format_is_told_from_the_content_when_the_name_does_not(tmp_path):
    t = random_task(1)
    ok(t.writetask_s_2(str(tmp_path / "a.task.zst")))
    (tmp_path / "noext").write_bytes((tmp_path / "a.task.zst").read_bytes())
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(str(tmp_path / "noext")))
    assert_same(snapshot(t), snapshot(u))
    (tmp_path / "model.dat").write_text("* comment\nNAME m\nROWS\n N obj\nCOLUMNS\n x obj 1\nENDATA\n")
    ok(u.readdataautoformat_s_2(str(tmp_path / "model.dat")))
    assert u.getnumvar__1() == (0, 1)
    (tmp_path / "what.dat").write_text("nothing anybody could read\n")
    assert u.readdataautoformat_s_2(str(tmp_path / "what.dat"))[0] == Err.ERR_UNKNOWN_FORMAT
    assert u.getnumvar__1() == (0, 1)


def test_writedata_takes_format_and_compression_from_its_parameters(tmp_path):
    t = random_task(2)
    ok(t.putintparam_ii_3(velto.IParam.WRITE_DATA_FORMAT, Fmt.TASK))
    ok(t.putintparam_ii_3(velto.IParam.WRITE_COMPRESSION, Z.GZIP))
    ok(t.writedata_s_2(str(tmp_path / "model.dat")))
    assert (tmp_path / "model.dat").read_bytes()[:2] == b"\x1f\x8b"
    u = velto.Task(None)
    ok(u.readdataformat_sii_4(str(tmp_path / "model.dat"), Fmt.TASK, Z.FREE))
    assert_same(snapshot(t), snapshot(u))


@pytest.mark.parametrize("call, code", [
    (lambda t, d: t.writedata_s_2(str(d / "model.unknown")), Err.ERR_UNKNOWN_FORMAT),
    (lambda t, d: t.readdataformat_sii_4(str(d / "a.task"), 99, Z.FREE), Err.ERR_INVALID_ENUM),
    (lambda t, d: t.readdataformat_sii_4(str(d / "a.task"), Fmt.TASK, 7), Err.ERR_INVALID_ENUM),
    (lambda t, d: t.readdataformat_sii_4(str(d / "a.task"), Fmt.TASK, Z.GZIP), Err.ERR_COMPRESSION),
    (lambda t, d: t.readdataformat_sii_4(str(d / "a.task"), Fmt.MPS, Z.NONE), Err.ERR_MPS_FORMAT),
    (lambda t, d: t.readdataautoformat_s_2(str(d)), Err.ERR_FILE_OPEN),
    (lambda t, d: t.writedatastream(Fmt.TASK, 9, Sink()), Err.ERR_INVALID_ENUM),
])
def test_wrong_choices_are_refused_and_change_nothing(tmp_path, call, code):
    t = random_task(4)
    ok(t.writetask_s_2(str(tmp_path / "a.task")))
    before = snapshot(t)
    result = call(t, tmp_path)
    assert (result if isinstance(result, int) else result[0]) == code
    assert_same(before, snapshot(t))


def test_reads_and_writes_report_progress_and_time(tmp_path):
    t = random_task(5)
    events = []
    t.set_Progress(lambda code: events.append(code) and False)
    ok(t.writetask_s_2(str(tmp_path / "p.task")))
    ok(t.readtask_s_2(str(tmp_path / "p.task")))
    C = velto.CallbackCode
    assert events == [C.BEGIN_WRITE, C.END_WRITE, C.BEGIN_READ, C.END_READ]
    assert t.getdouinf_i_2(velto.DInfItem.READ_DATA_TIME)[1] > 0
    assert t.getdouinf_i_2(velto.DInfItem.WRITE_DATA_TIME)[1] > 0


IP = velto.IParam
EVERYTHING_ON = (IP.PTF_WRITE_PARAMETERS, IP.PTF_WRITE_SOLUTIONS, IP.OPF_WRITE_PARAMETERS, IP.OPF_WRITE_SOLUTIONS)


def holding_everything(seed):
    """A task with every kind of data (DJCs, semidefinite terms, names of
    every kind, parameters, three solutions), written at full precision."""
    t = random_task(seed)
    for p in EVERYTHING_ON:
        ok(t.putintparam_ii_3(p, velto.OnOff.ON))
    ok(t.putintparam_ii_3(IP.WRITE_PRECISION, 17))
    return t


@pytest.mark.parametrize("suffix", [".task", ".task.zst", ".jtask", ".jtask.gz", ".ptf", ".opf.gz"])
def test_lossless_formats_keep_everything(tmp_path, suffix):
    t = holding_everything(8)
    assert ok(t.getnumdjc__1()) and ok(t.getnumbarvar__1()) and ok(t.getnumcone__1())
    path = str(tmp_path / ("t" + suffix))
    ok(t.writedata_s_2(path))
    u = velto.Task(None)
    ok(u.readdataautoformat_s_2(path))
    by_rows = suffix.startswith(".opf")       # OPF lists the matrix row by row
    assert_same(snapshot(t, row_order=by_rows), snapshot(u, row_order=by_rows))


@pytest.mark.parametrize("suffix", [".mps", ".lp", ".cbf"])
def test_formats_that_cannot_hold_everything_refuse_and_write_nothing(tmp_path, suffix):
    t = holding_everything(8)
    errors = []
    t.set_Stream(velto.StreamType.ERR, errors.append)
    path = tmp_path / ("t" + suffix)
    assert t.writedata_s_2(str(path))[0] == Err.ERR_WRITE_UNSUPPORTED
    assert "IGNORE_INCOMPATIBLE_ITEMS" in errors[-1] and not path.exists()
