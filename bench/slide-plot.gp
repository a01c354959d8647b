# Plots the frame's y against time for one slide down and one up, as the benchmark wrote them.
# gnuplot -e "data='slide.dat'; out='docs/slide-plot.png'" bench/slide-plot.gp
set terminal pngcairo size 900,480 font "sans,10"
set output out
set title "dropcon: frame y after the toggle key press (default console, aniDelay 40)"
set xlabel "ms since the XTEST press of the toggle key"
set ylabel "frame y (px)"
set key outside bottom center horizontal
set grid
plot data index 0 using 1:2 with steps lw 2 lc rgb "#1f77b4" title "slide down, measured", \
     data index 2 using 1:2 with lines dt 2 lc rgb "#1f77b4" title "slide down, ideal pace", \
     data index 1 using 1:2 with steps lw 2 lc rgb "#d62728" title "slide up, measured", \
     data index 3 using 1:2 with lines dt 2 lc rgb "#d62728" title "slide up, ideal pace"
