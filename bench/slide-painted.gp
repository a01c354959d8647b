# Plots the frame's y as painted on the screen against time, for one slide down and one up, with no
# compositor and with picom, as the benchmark wrote them.
# gnuplot -e "data='painted.dat'; out='docs/slide-painted.png'" bench/slide-painted.gp
set terminal pngcairo size 900,480 font "sans,10"
set output out
set title "dropcon: frame y as painted on the screen after the toggle key press (Xvfb framebuffer)"
set xlabel "ms since the XTEST press of the toggle key"
set ylabel "frame y painted (px)"
set key outside bottom center horizontal
set grid
plot data index 0 using 1:2 with steps lw 2 lc rgb "#1f77b4" title "slide down, no compositor", \
     data index 1 using 1:2 with steps lw 2 lc rgb "#d62728" title "slide up, no compositor", \
     data index 2 using 1:2 with steps lw 2 dt 2 lc rgb "#2ca02c" title "slide down, picom", \
     data index 3 using 1:2 with steps lw 2 dt 2 lc rgb "#ff7f0e" title "slide up, picom"
