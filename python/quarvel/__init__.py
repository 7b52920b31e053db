"""Quarvel view's tomography core over NumPy arrays.

Images are [iy][ix] in density units, sinograms [view][bin] in line integrals divided by
the pixel size; angles are in degrees and lengths in pixels, as in quarvel-export. A
C-contiguous float64 input is read where it lies; any other array of real numbers is
converted once. Results are new float64 arrays. The core runs without the GIL, so
threads run reconstructions side by side, and Ctrl+C stops a long one.

    import quarvel
    truth = quarvel.phantom()                      # the built-in blobs, 128 x 128
    scan = quarvel.parallel(180, detectors=182)    # 180 views over 180 degrees
    sinogram = quarvel.project(truth, scan)
    image = quarvel.fbp(sinogram, scan, 128)
    print(quarvel.metrics(image, truth))
    fan = quarvel.fan_arc(360)                     # a full turn, R = D = 256 pixels
    image = quarvel.fbp(quarvel.project(truth, fan), fan, 128)
"""

from ._quarvel import (  # noqa: F401
    Geometry,
    add_noise,
    backproject,
    cgls,
    fan_arc,
    fan_flat,
    fbp,
    metrics,
    parallel,
    phantom,
    pixel_size,
    project,
    project_exact,
    rebin,
    sart,
    sirt,
)

__all__ = ["Geometry", "add_noise", "backproject", "cgls", "fan_arc", "fan_flat", "fbp",
           "metrics", "parallel", "phantom", "pixel_size", "project", "project_exact", "rebin",
           "sart", "sirt"]
