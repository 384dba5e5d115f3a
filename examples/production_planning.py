"""Production planning: which products to make with limited machine hours,
and what one more hour on each machine is worth (the duals), checked by
solving again with that hour added."""
import numpy as np

import velto

products = ["chairs", "tables", "shelves"]
profit = np.array([45.0, 80.0, 60.0])  # per unit
hours = np.array([[1.0, 2.0, 1.5],  # cutting hours per unit
                  [2.0, 1.5, 1.0],  # assembly
                  [0.5, 1.0, 1.0]])  # finishing
available = np.array([100.0, 120.0, 70.0])
machines = ["cutting", "assembly", "finishing"]


def plan(capacity):
    m = velto.Model(name="production")
    m.add_variables(len(products), lb=0, obj=profit, names=products)
    m.add_constraints(hours, ub=capacity, names=machines)
    m.set_objective(sense="maximize")
    return m.solve()


r = plan(available)
assert r.status == velto.Status.OPTIMAL
print(f"profit {r.objective:.2f}")
for name, amount, reduced in zip(products, r.x, r.reduced_costs):
    print(f"  make {amount:8.3f} {name:<8} (reduced cost {reduced:+.3f})")
for i, (name, used, price) in enumerate(zip(machines, r.row_activity, r.y)):
    more = available.copy()
    more[i] += 1
    gain = plan(more).objective - r.objective
    print(f"  {name:<10} uses {used:6.2f} of {available[i]:6.2f} h; an hour more is worth {price + 0.0:7.3f} "
          f"(re-solved: {gain:7.3f})")
    assert abs(gain - price) < 1e-6  # the dual is the value of one more hour while the basis stays
