"""Open3D's point-to-plane ICP on the benchmark pair: scan 2 (source) onto scan 1
(target), both already in the survey frame with the database headings. Normals of the
target from its 20 nearest neighbours; correspondences up to 0.5 m (the batch
program's MAXDISTINITIAL), at most 50 iterations. Writes the 4x4 matrix that moves
scan 2 onto scan 1. Threads: as many as OMP_NUM_THREADS allows (the benchmark sets 2).

Usage: open3d_icp.py SCAN1.ply SCAN2.ply MATRIX.txt
"""
import sys

import numpy as np
import open3d as o3d


def main():
    target = o3d.io.read_point_cloud(sys.argv[1])
    source = o3d.io.read_point_cloud(sys.argv[2])
    target.estimate_normals(o3d.geometry.KDTreeSearchParamKNN(knn=20))
    result = o3d.pipelines.registration.registration_icp(
        source, target, 0.5, np.identity(4),
        o3d.pipelines.registration.TransformationEstimationPointToPlane(),
        o3d.pipelines.registration.ICPConvergenceCriteria(max_iteration=50))
    np.savetxt(sys.argv[3], result.transformation)


if __name__ == "__main__":
    main()
