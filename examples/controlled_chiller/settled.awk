# Whether a run of the controlled chiller has settled: over the last 30 s of
# its results (CSV with a header; the run was to end at `stop`) the superheat
# and the leaving water moved less than 0.02 K and the condenser pressure less
# than 0.05 %. Prints "yes" or "no".
#
#   awk -F, -v stop=300 -f settled.awk results.csv
NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
{ t = $1 + 0
  if (t <= stop - 30 + 1e-9) { sh0 = $col["superheat [K]"]; tw0 = $col["T_water_out [K]"]; p0 = $col["p_cond [Pa]"] }
  sh = $col["superheat [K]"]; tw = $col["T_water_out [K]"]; p = $col["p_cond [Pa]"] }
END { d = sh - sh0; if (d < 0) d = -d; e = tw - tw0; if (e < 0) e = -e; f = (p - p0) / p; if (f < 0) f = -f
      print (t >= stop - 1e-6 && d < 0.02 && e < 0.02 && f < 5e-4) ? "yes" : "no" }
