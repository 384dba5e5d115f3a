"""Variables that know their model: `Model.add_variables` returns a
`Variables` block whose items are `Variable`s, plain int indexes that also
carry the model they belong to, so that a model refuses another's."""
from typing import Iterator, Union, overload

import numpy as np


class Variable(int):
    """The index of one variable of `model` (an int everywhere an index is
    taken)."""

    model: object

    def __new__(cls, index, model):
        self = super().__new__(cls, index)
        self.model = model
        return self

    def __repr__(self):
        return f"Variable({int(self)})"


class Variables:
    """The consecutive variables start, ..., stop - 1 of one model: a
    sequence of `Variable`s (`x[0]`, `x[1:3]`, `len(x)`, iteration) that
    numpy reads as an array of indexes (`np.asarray(x)`)."""

    def __init__(self, start: int, stop: int, model):
        self._range, self.model = range(start, stop), model

    @property
    def start(self) -> int:
        return self._range.start

    @property
    def stop(self) -> int:
        return self._range.stop

    def __len__(self):
        return len(self._range)

    @overload
    def __getitem__(self, key: int) -> Variable: ...

    @overload
    def __getitem__(self, key: slice) -> "Variables": ...

    def __getitem__(self, key) -> Union[Variable, "Variables"]:
        if isinstance(key, slice):
            part = self._range[key]
            if part.step != 1:
                raise ValueError("a block of variables is sliced with step 1 only; use np.asarray(x)[...]")
            return Variables(part.start, part.stop, self.model)
        return Variable(self._range[key], self.model)

    def __iter__(self) -> Iterator[Variable]:
        return (Variable(j, self.model) for j in self._range)

    def __array__(self, dtype=None, copy=None):
        return np.arange(self.start, self.stop, dtype=dtype or np.int64)

    def __eq__(self, other):
        if isinstance(other, Variables):
            return self._range == other._range and self.model is other.model
        if isinstance(other, range):
            return self._range == other
        return NotImplemented

    __hash__ = None  # type: ignore[assignment]

    def __repr__(self):
        return f"Variables({self.start}, {self.stop})"


def foreign_variable(values, model):
    """The first Variable (or Variables block) in values that belongs to
    another model than `model`, or None.  Looks into mappings (their keys,
    also pairs of keys), lists and tuples; numpy arrays hold plain indexes."""
    if isinstance(values, (Variable, Variables)):
        return None if values.model is model else values
    if hasattr(values, "keys"):
        return foreign_variable(list(values.keys()), model)
    if isinstance(values, (list, tuple)):
        for item in values:
            if isinstance(item, (Variable, Variables, list, tuple)) or hasattr(item, "keys"):
                found = foreign_variable(item, model)
                if found is not None:
                    return found
    return None
